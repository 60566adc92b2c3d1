// What was printed in a test: every printed document lands as a PDF file
// in the prefix's PDF folder (platform.conf [printer] pdffolder=), and
// pdftotext reads its text back.
#pragma once
#include <string>
#include <vector>

// The PDF files in the PDF folder (Linux paths), sorted by name.
std::vector<std::string> printedPdfs();
// The text of a PDF in reading order, lines ending in '\n'; empty when it
// cannot be read.
std::string pdfText(const std::string& pdfPath);
// Lines of a text without the empty ones, each trimmed of blanks at its ends.
std::vector<std::string> textLines(const std::string& text);
