#pragma once
// The byte-code field of the "ASCII" tab holds up to kMaxByteCodeChars characters (a pasted
// text of a few hundred thousand codes fits). A paste or keystroke that would pass the limit is
// refused whole, never cut to fit, and a box then says so. Main thread only.

#include <QLineEdit>
#include <string>

#include "window/message_boxes.h"

inline constexpr int kMaxByteCodeChars = 1024 * 1024;

// The box goes to boxes, which outlives the field.
void LimitByteCodeField(QLineEdit* field, platform::MessageBoxes& boxes);

// The text of the box, CP1254.
const std::string& ByteCodeFieldFullMessage();
