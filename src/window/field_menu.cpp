#include "window/field_menu.h"

#include <QAction>
#include <QContextMenuEvent>
#include <QLineEdit>
#include <QMenu>

namespace {

// The Turkish name of an item by the toolkit's English one, without its "&" and shortcut.
QString TurkishName(QString english) {
  english.remove(QLatin1Char('&'));
  if (english == QLatin1String("Undo")) return QString::fromUtf8("&Geri Al");
  if (english == QLatin1String("Redo")) return QString::fromUtf8("&Yinele");
  if (english == QLatin1String("Cut")) return QString::fromUtf8("&Kes");
  if (english == QLatin1String("Copy")) return QString::fromUtf8("K&opyala");
  if (english == QLatin1String("Paste")) return QString::fromUtf8("Y&apıştır");
  if (english == QLatin1String("Delete")) return QString::fromUtf8("&Sil");
  if (english == QLatin1String("Select All")) return QString::fromUtf8("&Tümünü Seç");
  return {};
}

// Shows the field's own menu, its items renamed, where the field would have shown it.
class FieldMenus : public QObject {
 public:
  using QObject::QObject;

  bool eventFilter(QObject* watched, QEvent* event) override {
    auto* field = qobject_cast<QLineEdit*>(watched);
    if (field == nullptr || event->type() != QEvent::ContextMenu) return false;
    QMenu* menu = field->createStandardContextMenu();
    for (QAction* action : menu->actions()) {
      // The shortcut the toolkit shows after a tab stays.
      const QString text = action->text();
      const qsizetype tab = text.indexOf(QLatin1Char('\t'));
      const QString name = TurkishName(text.left(tab));
      if (!name.isEmpty()) action->setText(tab < 0 ? name : name + text.mid(tab));
    }
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->popup(static_cast<QContextMenuEvent*>(event)->globalPos());
    return true;
  }
};

}  // namespace

void UseTurkishFieldMenus(QWidget* window) {
  auto* menus = new FieldMenus(window);
  for (QLineEdit* field : window->findChildren<QLineEdit*>()) field->installEventFilter(menus);
}
