// The titles of a program's windows written to standard error as they
// change, for tests that run the program as its own process and need to
// know what it shows without a person looking: with QVR_WINDOW_TITLES set
// (to anything), each new title of a top-level window gives the line
//
//     window title "<title>"
//
// The main window of the technician program, for example, takes the
// machine's name once the machine's status has arrived.
#pragma once

class QApplication;

// Starts the journal when QVR_WINDOW_TITLES is set; call once after the
// application object is built.
void journalWindowTitlesFromEnvironment(QApplication& application);
