#pragma once
// The window's own small widgets: a panel and a group box that report their resizes, and a
// check box that carries its port's number.

#include <QCheckBox>
#include <QFrame>
#include <QGroupBox>
#include <QString>
#include <functional>

class QResizeEvent;

// A plain panel or sheet that reports its resizes.
class TPanel : public QFrame {
 public:
  explicit TPanel(QWidget* parent) : QFrame(parent) {}
  std::function<void()> OnResize;

 protected:
  void resizeEvent(QResizeEvent* event) override;
};

class TGroupBox : public QGroupBox {
 public:
  TGroupBox(const QString& title, QWidget* parent) : QGroupBox(title, parent) {}
  std::function<void()> OnResize;

 protected:
  void resizeEvent(QResizeEvent* event) override;
};

class TCheckBox : public QCheckBox {
 public:
  TCheckBox(const QString& text, QWidget* parent, int tag) : QCheckBox(text, parent), Tag(tag) {}
  const int Tag;
};
