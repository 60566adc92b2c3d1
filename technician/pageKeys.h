// Enter and Esc on a page of the main dialog reach the page's own OK and
// Cancel handlers, as they reach a dialog's, and go no further: they never
// start the main dialog's close sequence from inside a page.
#pragma once
#include <QKeyEvent>

// True when the key was Enter or Esc and the page has taken it.
template <class page_t>
bool routePageKeys(page_t& page, QKeyEvent* event)
{
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        page.onOK();
        break;
    case Qt::Key_Escape:
        page.onCancel();
        break;
    default:
        return false;
    }
    event->accept();
    return true;
}
