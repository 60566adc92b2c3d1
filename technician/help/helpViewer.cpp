#include "technician/help/helpViewer.h"

#include <QPointer>
#include <QUrl>

namespace {

// Topic names become URLs of an own scheme, so relative links resolve
// against the topic's folder inside the archive.
QUrl topicUrl(const std::wstring& topic)
{
    QString path = QString::fromStdWString(topic);
    path.replace(QLatin1Char('\\'), QLatin1Char('/'));
    QUrl url;
    url.setScheme(QStringLiteral("help"));
    url.setPath(QLatin1Char('/') + path);
    return url;
}

}  // namespace

helpViewer_t::helpViewer_t(QWidget* parent) : QTextBrowser(parent)
{
    setWindowFlag(Qt::Window);
    setOpenLinks(true);
    setOpenExternalLinks(false);
    resize(720, 560);
}

helpViewer_t* helpViewer_t::instance(QWidget* parent)
{
    static QPointer<helpViewer_t> viewer;
    if (viewer.isNull())
        viewer = new helpViewer_t(parent);
    return viewer;
}

bool helpViewer_t::showTopic(const std::wstring& helpFile, const std::wstring& topic)
{
    // Read again at every request: an installation may have replaced the
    // file while the program runs, and a help file is small.
    if (!archive_.load(helpFile))
        return false;
    const std::wstring shown = archive_.member(topic) ? topic : std::wstring(L"index.htm");
    // The topic shown may have changed with the file.
    if (source() == topicUrl(shown))
        reload();
    else
        setSource(topicUrl(shown), QTextDocument::HtmlResource);
    // The caller's spelling of the topic, not the URL's.
    topic_ = shown;
    show();
    raise();
    activateWindow();
    return true;
}

QVariant helpViewer_t::loadResource(int type, const QUrl& name)
{
    if (name.scheme() == QLatin1String("help") || name.scheme().isEmpty()) {
        if (const std::optional<QByteArray> bytes = archive_.member(name.path().toStdWString()))
            return *bytes;
        return QVariant();
    }
    return QTextBrowser::loadResource(type, name);
}

void helpViewer_t::doSetSource(const QUrl& name, QTextDocument::ResourceType type)
{
    QUrl target = source().isEmpty() ? name : source().resolved(name);
    const bool inFile = target.scheme() == QLatin1String("help") || target.scheme().isEmpty();
    // A jump inside the topic shown keeps its path and only scrolls.
    if (inFile && !name.path().isEmpty()) {
        if (!archive_.member(target.path().toStdWString()))
            target = topicUrl(L"index.htm");
        std::wstring path = target.path().toStdWString();
        topic_ = path.starts_with(L'/') ? path.substr(1) : path;
    }
    QTextBrowser::doSetSource(target, type);
    setWindowTitle(documentTitle().isEmpty() ? QStringLiteral("Help") : documentTitle());
}
