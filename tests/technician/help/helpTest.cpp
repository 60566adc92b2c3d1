// The help lookup: topics by page, the edition's help file, the archive the
// help file is, and the window that shows a topic.
#include "machine/globalNames.h"
#include "machine/registryUtils.h"
#include "platform/process.h"
#include "technician/controls/tabCtrl.h"
#include "technician/help/helpArchive.h"
#include "technician/help/helpTopics.h"
#include "technician/help/helpViewer.h"
#include "technician/mainDlg.h"
#include "technician/pageIds.h"
#include "technician/pages/operationsDlg.h"
#include "technician/tovrikApp.h"
#include "tests/support/closedPort.h"
#include "tests/support/tempPrefix.h"
#include "tests/technician/technicianTestDevices.h"

#include <QApplication>
#include <QFile>
#include <QRegularExpression>
#include <QTabBar>
#include <QTest>
#include <cstdio>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace {

// One tar member: a ustar header (with the name split into prefix and name
// when asked) and the data padded to whole blocks.
std::string tarMember(const std::string& name, const std::string& data, char type = '0',
                      const std::string& prefix = std::string())
{
    std::string header(512, '\0');
    auto put = [&header](int offset, const std::string& text) { header.replace(offset, text.size(), text); };
    put(0, name.substr(0, 100));
    put(100, "0000644");
    put(108, "0000000");
    put(116, "0000000");
    char size[13];
    std::snprintf(size, sizeof size, "%011o", static_cast<unsigned>(data.size()));
    put(124, size);
    put(136, "00000000000");
    header[156] = type;
    put(257, std::string("ustar\0" "00", 8));
    put(345, prefix);
    put(148, "        ");
    unsigned sum = 0;
    for (const char c : header)
        sum += static_cast<unsigned char>(c);
    char checksum[8];
    std::snprintf(checksum, sizeof checksum, "%06o", sum);
    put(148, std::string(checksum, 7));
    std::string padded = data;
    padded.resize((data.size() + 511) / 512 * 512, '\0');
    return header + padded;
}

std::string paxPathMember(const std::string& path)
{
    std::string record = " path=" + path + "\n";
    // The length counts its own digits.
    std::string length = std::to_string(record.size() + 2);
    length = std::to_string(record.size() + length.size());
    return tarMember("PaxHeader", length + record, 'x');
}

std::string helpFileBytes()
{
    std::string tar;
    tar += tarMember("./index.htm", "<html><head><title>Tovrik Help</title></head><body>Index</body></html>");
    tar += tarMember("Operations/", "", '5');
    tar += tarMember("Motors.htm", "<html><body>Motors <a href=\"../index.htm\">back</a></body></html>", '0',
                     "Operations");
    tar += paxPathMember("Troubleshooting/Block peeling problems.htm");
    tar += tarMember("Troubleshooting/Block peeling prob", "<html><body>Peeling</body></html>");
    tar += std::string(1024, '\0');
    return tar;
}

TEST(TechnicianHelpTopics, TopicByPage)
{
    const std::vector<std::pair<int, std::wstring>> cases = {
        {pageId::softwareAndParameters, L"software_and_parameters.htm"},
        {pageId::operations, L"Operations\\operations.htm"},
        {pageId::cleanAndCalibrate, L"Operations\\clean_and_calibrate.htm"},
        {pageId::runTests, L"Operations\\run_tests.htm"},
        {pageId::processes, L"Operations\\processes.htm"},
        {pageId::motors, L"Operations\\motors.htm"},
        {pageId::build, L"Operations\\build.htm"},
        {pageId::printerLogs, L"printer_logs.htm"},
        {0, L"index.htm"},
        {102, L"index.htm"},
        {193, L"index.htm"},
    };
    for (const auto& [page, topic] : cases)
        EXPECT_EQ(helpTopicForPage(page), topic) << page;
}

class TechnicianHelpFile : public prefixTest {};

TEST_F(TechnicianHelpFile, FileOfTheEditionInTheSlicerFolder)
{
    regWriteString(slicerRegistryKey, slicerDirectoryValueName, L"C:\\Apps\\Ondrel", HKEY_LOCAL_MACHINE);
    EXPECT_EQ(helpFilePath(L"Tovrik"), L"C:\\Apps\\Ondrel\\Tovrik.chm");
    EXPECT_EQ(helpFilePath(L"Merolt"), L"C:\\Apps\\Ondrel\\Merolt.chm");
    EXPECT_EQ(helpFilePath(L"merolt"), L"C:\\Apps\\Ondrel\\Merolt.chm");
}

TEST_F(TechnicianHelpFile, ArchiveMembersByTopicName)
{
    helpArchive_t archive;
    ASSERT_TRUE(archive.loadBytes(QByteArray::fromStdString(helpFileBytes())));
    EXPECT_EQ(archive.count(), 3u);
    EXPECT_TRUE(archive.member(L"index.htm"));
    EXPECT_TRUE(archive.member(L"Operations\\motors.htm"));
    EXPECT_TRUE(archive.member(L"OPERATIONS/MOTORS.HTM"));
    EXPECT_TRUE(archive.member(L"Troubleshooting\\Block peeling problems.htm"));
    EXPECT_FALSE(archive.member(L"Troubleshooting\\Block peeling prob"));
    EXPECT_FALSE(archive.member(L"Operations"));
}

TEST_F(TechnicianHelpFile, DamagedOrMissingArchiveIsEmpty)
{
    helpArchive_t archive;
    std::string cut = helpFileBytes().substr(0, 540);
    EXPECT_FALSE(archive.loadBytes(QByteArray::fromStdString(cut)));
    EXPECT_TRUE(archive.isEmpty());
    std::string bad = helpFileBytes();
    bad[124] = 'x';
    EXPECT_FALSE(archive.loadBytes(QByteArray::fromStdString(bad)));
    std::string huge = helpFileBytes();
    huge.replace(124, 11, "77777777777");
    EXPECT_FALSE(archive.loadBytes(QByteArray::fromStdString(huge)));
    EXPECT_FALSE(archive.load(L"C:\\nowhere\\Tovrik.chm"));
}

TEST_F(TechnicianHelpFile, ViewerWidgetShowsTopicsOfTheEditionsFile)
{
    regWriteString(slicerRegistryKey, slicerDirectoryValueName, L"C:\\Apps\\Ondrel", HKEY_LOCAL_MACHINE);
    tovrikApp().readCommandLine(L"\"C:\\Apps\\Ondrel\\Tovrik.exe\"");
    helpViewer_t* viewer = helpViewer_t::instance(nullptr);
    viewer->hide();

    // No help file: nothing happens.
    tovrikApp().showHelpTopic(troubleshootingTopic);
    EXPECT_FALSE(viewer->isVisible());

    ASSERT_TRUE(writeRawFile(L"C:\\Apps\\Ondrel\\Tovrik.chm", helpFileBytes()));
    tovrikApp().showHelpTopic(troubleshootingTopic);
    EXPECT_TRUE(viewer->isVisible());
    EXPECT_EQ(viewer->currentTopic(), troubleshootingTopic);
    EXPECT_TRUE(viewer->toPlainText().contains(QStringLiteral("Peeling")));

    tovrikApp().showHelpTopic(L"Operations\\motors.htm");
    EXPECT_TRUE(viewer->toPlainText().contains(QStringLiteral("Motors")));
    // A relative link resolves inside the file.
    viewer->setSource(QUrl(QStringLiteral("../index.htm")));
    EXPECT_TRUE(viewer->toPlainText().contains(QStringLiteral("Index")));

    // An unknown topic shows the index.
    tovrikApp().showHelpTopic(L"nothing.htm");
    EXPECT_EQ(viewer->currentTopic(), L"index.htm");

    // The Merolt edition reads its own file, which is missing here.
    viewer->hide();
    tovrikApp().readCommandLine(L"\"C:\\Apps\\Ondrel\\Merolt.exe\"");
    tovrikApp().showHelpTopic(L"index.htm");
    EXPECT_FALSE(viewer->isVisible());
    tovrikApp().readCommandLine(L"\"C:\\Tovrik.exe\"");
    delete viewer;
}

// The topics the program opens, each of which the built help file must hold.
std::vector<std::wstring> openedTopics()
{
    std::vector<std::wstring> topics = {L"index.htm", troubleshootingTopic};
    for (const int page : {pageId::softwareAndParameters, pageId::operations, pageId::cleanAndCalibrate,
                           pageId::runTests, pageId::processes, pageId::motors, pageId::build, pageId::printerLogs})
        topics.push_back(helpTopicForPage(page));
    return topics;
}

QByteArray builtHelpFile(const std::string& name)
{
    QFile file(QString::fromStdString(buildBinFolder() + "/" + name));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QUrl helpUrl(const std::wstring& topic)
{
    QString path = QString::fromStdWString(topic);
    return QUrl(QStringLiteral("help:/") + path.replace(QLatin1Char('\\'), QLatin1Char('/')));
}

TEST(TechnicianBuiltHelpFile, EveryTopicIsThereAndEveryLinkAndPictureResolves)
{
    const std::vector<std::pair<std::string, QString>> editions = {{"Tovrik.chm", QStringLiteral("Tovrik Help")},
                                                                   {"Merolt.chm", QStringLiteral("Merolt Help")}};
    for (const auto& [file, indexTitle] : editions) {
        SCOPED_TRACE(file);
        helpArchive_t archive;
        ASSERT_TRUE(archive.loadBytes(builtHelpFile(file))) << "not built in " << buildBinFolder();
        for (const std::wstring& topic : openedTopics()) {
            SCOPED_TRACE(QString::fromStdWString(topic).toStdString());
            const std::optional<QByteArray> bytes = archive.member(topic);
            ASSERT_TRUE(bytes);
            const QString html = QString::fromUtf8(*bytes);
            EXPECT_FALSE(html.contains(QStringLiteral("@EDITION@")));
            EXPECT_TRUE(html.contains(QRegularExpression(QStringLiteral("<title>[^<]+</title>"))));
            if (topic == L"index.htm") {
                EXPECT_TRUE(html.contains(QStringLiteral("<title>") + indexTitle + QStringLiteral("</title>")));
            }
            bool linksToIndex = topic == L"index.htm";
            // Every link, stylesheet and picture inside the file, anchors included.
            static const QRegularExpression reference(QStringLiteral("(?:href|src)=\"([^\"]+)\""));
            for (auto match = reference.globalMatch(html); match.hasNext();) {
                const QUrl target = helpUrl(topic).resolved(QUrl(match.next().captured(1)));
                SCOPED_TRACE(target.toString().toStdString());
                const std::optional<QByteArray> linked = archive.member(target.path().toStdWString());
                ASSERT_TRUE(linked);
                if (target.hasFragment()) {
                    EXPECT_TRUE(linked->contains("name=\"" + target.fragment().toUtf8() + "\""));
                }
                linksToIndex = linksToIndex || target.path() == QStringLiteral("/index.htm");
            }
            EXPECT_TRUE(linksToIndex);
        }
    }
}

// F1 on each page opens that page's topic of the help file installed in the
// slicer's folder; the Troubleshooting tab opens its topic without F1. Rows
// for further pages: how to bring the page on screen, and its topic.
struct f1Case_t {
    const char* page;
    std::function<void(mainDlg_t&)> show;
    bool pressF1;
    std::wstring topic;
};

class TechnicianHelpF1Widget : public prefixTest {
protected:
    void SetUp() override
    {
        setLauncherHook([](const std::wstring&) { return true; });
        mainDlg_t::setDeviceFactory(
            [](sharedLock_t& lock) -> qvrClientDev_t* { return new testClientDev_t(HWND(0), lock); });
        regWriteString(slicerRegistryKey, slicerDirectoryValueName, L"C:\\Apps\\Ondrel", HKEY_LOCAL_MACHINE);
        tovrikApp().readCommandLine(L"\"C:\\Apps\\Ondrel\\Tovrik.exe\"");
    }
    void TearDown() override
    {
        if (tovrikApp().mainDialog() == dialog_.get())
            tovrikApp().setMainDialog(nullptr);
        delete helpViewer_t::instance(nullptr);
        dialog_.reset();
        mainDlg_t::setDeviceFactory({});
        setLauncherHook({});
        tovrikApp().readCommandLine(L"\"C:\\Tovrik.exe\"");
    }
    std::unique_ptr<mainDlg_t> dialog_;
};

TEST_F(TechnicianHelpF1Widget, EachPageOpensItsOwnTopic)
{
    ASSERT_TRUE(writeRawFile(L"C:\\Apps\\Ondrel\\Tovrik.chm", builtHelpFile("Tovrik.chm").toStdString()));
    dialog_ = std::make_unique<mainDlg_t>(false);
    dialog_->setServer(L"", closedPort());
    tovrikApp().setMainDialog(dialog_.get());
    dialog_->onInitDialog();
    dialog_->show();

    auto tab = [](int index) {
        return [index](mainDlg_t& dialog) { dialog.controls().tabs->tabBar()->setCurrentIndex(index); };
    };
    // A page of the Operations tab: the tab, then its inner tab.
    auto inner = [](int index) {
        return [index](mainDlg_t& dialog) {
            dialog.controls().tabs->tabBar()->setCurrentIndex(1);
            auto* operations = static_cast<operationsDlg_t*>(dialog.page(1));
            operations->innerTabs()->tabBar()->setCurrentIndex(index);
        };
    };
    const std::vector<f1Case_t> cases = {
        {"Software && Parameters", tab(0), true, L"software_and_parameters.htm"},
        {"Operations", tab(1), true, L"Operations\\clean_and_calibrate.htm"},
        {"Run Tests", inner(1), true, L"Operations\\run_tests.htm"},
        {"Processes", inner(2), true, L"Operations\\processes.htm"},
        {"Motors", inner(3), true, L"Operations\\motors.htm"},
        {"Build", inner(4), true, L"Operations\\build.htm"},
        {"Printer Logs", tab(3), true, L"printer_logs.htm"},
        {"Troubleshooting", tab(2), false, troubleshootingTopic},
    };
    for (const f1Case_t& row : cases) {
        SCOPED_TRACE(row.page);
        delete helpViewer_t::instance(nullptr);
        row.show(*dialog_);
        QWidget* page = dialog_->page(dialog_->currentTab());
        ASSERT_NE(page, nullptr);
        ASSERT_FALSE(page->isHidden());
        if (row.pressF1) {
            // The help window of the row before took the activation; the
            // technician comes back to the main window to press F1.
            dialog_->activateWindow();
            ASSERT_TRUE(QTest::qWaitForWindowActive(dialog_.get()));
            QTest::keyClick(page, Qt::Key_F1);
        }
        helpViewer_t* viewer = helpViewer_t::instance(nullptr);
        EXPECT_TRUE(viewer->isVisible());
        EXPECT_EQ(viewer->currentTopic(), row.topic);
        // The topic's own title, not the index shown for a missing topic.
        EXPECT_NE(viewer->documentTitle(), QStringLiteral("Tovrik Help"));
        QCoreApplication::processEvents();
    }
}

TEST_F(TechnicianHelpF1Widget, MissingTopicShowsTheIndexOfTheFileAsItIsNow)
{
    std::string tar = tarMember("index.htm", "<html><head><title>Tovrik Help</title></head><body>Index</body></html>");
    tar += tarMember("motors.htm",
                     "<html><head><title>Motors</title></head><body><a href=\"gone.htm\">x</a></body></html>");
    tar += std::string(1024, '\0');
    ASSERT_TRUE(writeRawFile(L"C:\\Apps\\Ondrel\\Tovrik.chm", tar));
    tovrikApp().showHelpTopic(L"motors.htm");
    helpViewer_t* viewer = helpViewer_t::instance(nullptr);
    EXPECT_EQ(viewer->windowTitle(), QStringLiteral("Motors"));
    viewer->setSource(QUrl(QStringLiteral("gone.htm")));
    EXPECT_EQ(viewer->currentTopic(), L"index.htm");
    EXPECT_EQ(viewer->windowTitle(), QStringLiteral("Tovrik Help"));
    EXPECT_TRUE(viewer->toPlainText().contains(QStringLiteral("Index")));

    // An installation replaces the file while the program runs.
    tar = tarMember("index.htm", "<html><head><title>Tovrik Help</title></head><body>Updated</body></html>");
    ASSERT_TRUE(writeRawFile(L"C:\\Apps\\Ondrel\\Tovrik.chm", tar + std::string(1024, '\0')));
    tovrikApp().showHelpTopic(L"motors.htm");
    EXPECT_EQ(viewer->currentTopic(), L"index.htm");
    EXPECT_TRUE(viewer->toPlainText().contains(QStringLiteral("Updated")));
}

}  // namespace
