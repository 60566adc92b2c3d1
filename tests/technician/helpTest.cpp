// The help lookup: topics by page, the edition's help file, the archive the
// help file is, and the window that shows a topic.
#include "machine/globalNames.h"
#include "machine/registryUtils.h"
#include "technician/helpArchive.h"
#include "technician/helpTopics.h"
#include "technician/helpViewer.h"
#include "technician/pageIds.h"
#include "technician/tovrikApp.h"
#include "tests/support/tempPrefix.h"

#include <QApplication>
#include <cstdio>
#include <gtest/gtest.h>
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

}  // namespace
