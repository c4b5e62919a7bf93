#pragma once
// A log pane's text as shown: CP1254 to Unicode, with a carriage return or line feed inside a
// logged text (a packet as received) shown as its control picture so that it stays inside its
// line; and back, the control pictures reading as the bytes they stand for.

#include <QString>
#include <string>
#include <string_view>

QString PaneText(std::string_view cp1254);
std::string PaneBytes(const QString& shown);
