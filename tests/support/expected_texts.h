#pragma once
// The texts the system shows, written out here in UTF-8 as a user reads them, so that a wrong
// text in the code shows in a test (never taken from the code's own tables). Cp() turns one
// into the CP1254 of panes and boxes; QString::fromUtf8 into a caption.

#include <string>

namespace expected {

// ---- Boxes ----
inline constexpr const char* kChoosePort = "Lütfen bilginin hangi porta yazılacağını seçin.";
inline constexpr const char* kByteCodeFieldFull =
    "Bayt kodları alanı en çok 1048576 karakter alır; bu metin eklenmedi.";
inline std::string NotAnInteger(const std::string& text) {
  return "'" + text + "' is not a valid integer value";
}

// ---- Texts the window adds to the ones above: menus, tooltips and boxes ----
inline constexpr const char* kOtherDevice = "Başka cihaz...";
inline std::string SaveAsDefault(int n) {
  return "com" + std::to_string(n) + " için varsayılan olarak kaydet";
}
inline constexpr const char* kFieldMenu[] = {"&Geri Al",  "&Yinele", "&Kes",       "K&opyala",
                                             "Y&apıştır", "&Sil",    "&Tümünü Seç"};
inline constexpr const char* kUnknownError = "Bilinmeyen hata";
inline std::string NotSaved(const std::string& path, const std::string& why) {
  return "\"" + path + "\" kaydedilemedi, " + why + ". Hiçbir şey değiştirilmedi.";
}
inline std::string CannotCreateFile(const std::string& path, const std::string& reason) {
  return "\"" + path + "\" dosyası oluşturulamadı. " + reason + ".";
}
inline std::string CannotCreateFolder(const std::string& path, const std::string& reason) {
  return "\"" + path + "\" klasörü oluşturulamadı. " + reason + ".";
}
inline constexpr const char* kRecordingStopped = "Kayıt durdu: ";

// ---- Captions ----
inline constexpr const char* kWindowTitle = "RS232 Emülatör";
inline constexpr const char* kTabCaptions[] = {"ASCII", "Omron Strings", "POS", "Yazar Kasa"};
inline constexpr const char* kSend = "Send";
inline constexpr const char* kPeriodic = "periyodik";
inline constexpr const char* kStop = "STOP!";
inline constexpr const char* kLoop = "Loop";
inline constexpr const char* kOpen = "Open";

// ---- The POS dialogue's lines in a port's pane ----
inline constexpr const char* kSentPrefix = "Gönderilen bilgi: ";
inline constexpr const char* kAccepted = "APCD doğru. ACK gönderiliyor...";
inline constexpr const char* kBadLetter = "APCD hatalı! NACK gönderiliyor...";
inline constexpr const char* kUnknown = "Mesaj algılanamadı. NACK gönderiliyor...";
inline constexpr const char* kNoNumber = "Paket numarası alınamadı, herhangi bir ACK dönülmeyecek.";
inline constexpr const char* kAckReceived = "ACK alındı. Bilgi tekrar yollanmayacak.";
inline constexpr const char* kNackReceived = "NACK alındı. Paket gönderilmeye devam edilecek...";
inline constexpr const char* kNackFaulty = "NACK bilgisinde hata var.";
inline constexpr const char* kAckOtherNumber =
    "APCD doğru ancak ACK paket numarası gönderilenden farklı... Paket gönderilmeye devam "
    "edilecek...";
inline constexpr const char* kAckWrongEntry =
    "APCD doğru ancak ACK bilgisinde yanlış giriş var. Paket gönderilmeye devam edilecek...";
inline constexpr const char* kNoTransaction =
    "APCD doğru ancak Henüz bir işlem başlangıcı olmadığı için geçersiz. NACK gönderiliyor...";
inline constexpr const char* kTransactionOpen =
    "APCD doğru ancak Henüz aktif işlem paketi kapatılmadı. NACK gönderiliyor...";
inline constexpr const char* kParameters =
    "APCD doğru ancak parametreler hatalı. NACK gönderiliyor...";
inline constexpr const char* kSttxUnreadable =
    "APCD doğru ancak STTX komutu yorumlanamadı. NACK gönderiliyor...";
inline constexpr const char* kOperationCode =
    "APCD doğru ancak İşlem Kodu bilgisi hatalı. NACK gönderiliyor...";
inline constexpr const char* kNoBarcode =
    "APCD doğru ancak Barkod bilgisi yok. NACK gönderiliyor...";
inline constexpr const char* kQuantity =
    "APCD doğru ancak Adet bilgisi yanlış. NACK gönderiliyor...";
inline constexpr const char* kTotal =
    "APCD doğru ancak Toplam tutar bilgisi yanlış. NACK gönderiliyor...";
inline constexpr const char* kPacketCount =
    "APCD doğru ancak Paket sayısı bilgisi hatalı. NACK gönderiliyor...";
inline constexpr const char* kQuantityTotal =
    "APCD doğru ancak Adet toplamı bilgisi hatalı. NACK gönderiliyor...";
inline constexpr const char* kTransactionTotal =
    "APCD doğru ancak İşlem toplamı bilgisi hatalı. NACK gönderiliyor...";
inline constexpr const char* kDiscountedTotal =
    "APCD doğru ancak İndirimli tutar bilgisi hatalı. NACK gönderiliyor...";
inline constexpr const char* kPaymentTypeWrong =
    "APCD doğru ancak Ödeme tipi bilgisi hatalı. NACK gönderiliyor...";
inline constexpr const char* kPaymentTypeUnknown =
    "APCD doğru ancak Ödeme tipi bilgisi tanımsız. NACK gönderiliyor...";
inline constexpr const char* kPaymentAmount =
    "APCD doğru ancak Ödeme tutar bilgisi hatalı. NACK gönderiliyor...";
inline constexpr const char* kTransactionNumberOther =
    "APCD doğru ancak İşlem sıra numarası, açılan işlemden farklı. NACK gönderiliyor...";
inline constexpr const char* kTransactionNumberWrong =
    "APCD doğru ancak İşlem sıra numarası bilgisi hatalı. NACK gönderiliyor...";

// ---- The transaction panel of "POS" ----
inline constexpr const char* kCashRegisterLabel = "Yazar Kasa No: ";
inline constexpr const char* kTransactionLabel = "İşlem No: ";

}  // namespace expected
