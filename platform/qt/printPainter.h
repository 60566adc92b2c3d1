// Draws text on one printed page in the printer's device units, as the
// system's reports lay it out: W and H are the printable width and height,
// a font is given by its cell height (ascent plus descent) and weight, and
// a line of text is placed by the top of its cell. Text stays text, so a
// PDF can be searched.
#pragma once
#include "platform/qt/colorref.h"

#include <QFont>
#include <QPainter>
#include <string>

class printJob_t;

class printPainter_t {
public:
    // Begins the document; active() is false when the printer refused.
    explicit printPainter_t(printJob_t& job);
    ~printPainter_t();  // ends the document when still active
    printPainter_t(const printPainter_t&) = delete;
    printPainter_t& operator=(const printPainter_t&) = delete;

    bool active() const { return painter_.isActive(); }
    int width() const { return width_; }
    int height() const { return height_; }

    // "Arial" (or what the font configuration puts in its place).
    void setFont(int cellHeight, int weight);
    int textWidth(const std::wstring& text) const;
    // Draws the text with its top at y in that colour; returns y.
    int printLine(int x, int y, const std::wstring& text, COLORREF colour);
    // Ends the document; false when it failed.
    bool end();

private:
    QPainter painter_;
    int width_ = 0;
    int height_ = 0;
};
