// The help window: one non-modal window per program that shows topics of
// the help file, following links and pictures inside the same file.
#pragma once
#include "technician/help/helpArchive.h"

#include <QTextBrowser>
#include <string>

class helpViewer_t : public QTextBrowser {
    Q_OBJECT
public:
    explicit helpViewer_t(QWidget* parent = nullptr);

    // Reads the help file, then shows the topic (or the archive's index when
    // the topic is missing). False when the file cannot be read; nothing is
    // shown then.
    bool showTopic(const std::wstring& helpFile, const std::wstring& topic);
    const std::wstring& currentTopic() const { return topic_; }

    // The program's viewer, made on first use, owned by the parent given then.
    static helpViewer_t* instance(QWidget* parent);

    QVariant loadResource(int type, const QUrl& name) override;

protected:
    // Every way to a topic (a link, back and forward) comes here: a topic
    // the file lacks shows the index instead of an empty window, and the
    // title follows the topic shown.
    void doSetSource(const QUrl& name, QTextDocument::ResourceType type) override;

private:
    helpArchive_t archive_;
    std::wstring topic_;
};
