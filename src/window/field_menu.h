#pragma once
// The right-click menu of the window's edit fields in Turkish: the toolkit's own menu, whose
// items it names in English (it has no Turkish of its own here), renamed Geri Al, Yinele, Kes,
// Kopyala, Yapıştır, Sil, Tümünü Seç.

class QWidget;

// Gives every edit field inside window, as it is now, the Turkish menu.
void UseTurkishFieldMenus(QWidget* window);
