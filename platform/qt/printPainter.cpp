#include "platform/qt/printPainter.h"

#include "platform/qt/printJob.h"

#include <QFontMetrics>
#include <algorithm>

printPainter_t::printPainter_t(printJob_t& job)
{
    QPrinter* printer = job.startDocument();
    if (printer == nullptr || !painter_.begin(printer))
        return;
    const QRect page = painter_.viewport();
    width_ = page.width();
    height_ = page.height();
}

printPainter_t::~printPainter_t()
{
    end();
}

void printPainter_t::setFont(int cellHeight, int weight)
{
    if (!active())
        return;
    QFont font(QStringLiteral("Arial"));
    font.setWeight(static_cast<QFont::Weight>(weight));
    const int wanted = cellHeight > 1 ? cellHeight : 1;
    font.setPixelSize(wanted);
    // A Windows font height is the whole cell; Qt's pixel size is the em,
    // which is smaller than the cell by the font's leading: scale it down
    // once so the cell has the height asked for.
    const int cell = QFontMetrics(font, painter_.device()).height();
    if (cell > wanted)
        font.setPixelSize(std::max(1, static_cast<int>(static_cast<long long>(wanted) * wanted / cell)));
    painter_.setFont(font);
}

int printPainter_t::textWidth(const std::wstring& text) const
{
    if (!active())
        return 0;
    return painter_.fontMetrics().horizontalAdvance(QString::fromStdWString(text));
}

int printPainter_t::printLine(int x, int y, const std::wstring& text, COLORREF colour)
{
    if (active()) {
        painter_.setPen(colorrefToColor(colour));
        painter_.drawText(x, y + painter_.fontMetrics().ascent(), QString::fromStdWString(text));
    }
    return y;
}

bool printPainter_t::end()
{
    return active() && painter_.end();
}
