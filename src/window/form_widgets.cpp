#include "window/form_widgets.h"

#include <QResizeEvent>

void TPanel::resizeEvent(QResizeEvent* event) {
  QFrame::resizeEvent(event);
  if (OnResize) OnResize();
}

void TGroupBox::resizeEvent(QResizeEvent* event) {
  QGroupBox::resizeEvent(event);
  if (OnResize) OnResize();
}
