#include "window/byte_code_field.h"

#include <QValidator>
#include <limits>

#include "platform/text/cp1254.h"
#include "window/message_boxes.h"

namespace {

// The field itself takes any length, and the validator puts back the text from before an edit
// that made it too long. Both the field's own length cut (it copies the cut text once per
// character) and its undo of a refused edit (character by character) take minutes for a
// megabyte; putting the old text back costs one copy. The box comes from the event loop, once
// the edit is over.
class LengthGuard : public QValidator {
 public:
  LengthGuard(QLineEdit* field, platform::MessageBoxes& boxes)
      : QValidator(field), boxes_(boxes), accepted_(field->text()) {}

  State validate(QString& input, int& pos) const override {
    if (input.size() <= kMaxByteCodeChars) {
      accepted_ = input;
      return Acceptable;
    }
    input = accepted_;
    pos = static_cast<int>(accepted_.size());
    if (!reportPending_) {
      reportPending_ = true;
      auto* self = const_cast<LengthGuard*>(this);
      QMetaObject::invokeMethod(
          self,
          [self] {
            self->reportPending_ = false;
            self->boxes_.Guarded([self] { self->boxes_.Show(ByteCodeFieldFullMessage()); });
          },
          Qt::QueuedConnection);
    }
    return Acceptable;
  }

 private:
  platform::MessageBoxes& boxes_;
  mutable QString accepted_;  // the text as it stood after the last edit that was let in
  mutable bool reportPending_ = false;
};

}  // namespace

void LimitByteCodeField(QLineEdit* field, platform::MessageBoxes& boxes) {
  field->setMaxLength(std::numeric_limits<int>::max());
  field->setValidator(new LengthGuard(field, boxes));
}

const std::string& ByteCodeFieldFullMessage() {
  static const std::string text =
      platform::Cp1254("Bayt kodları alanı en çok 1048576 karakter alır; bu metin eklenmedi.");
  return text;
}
