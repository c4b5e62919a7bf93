#include "pos/pos_texts.h"

#include <array>

#include "platform/text/cp1254.h"

namespace {

// No default: the compiler names any id left without its text.
const char* Utf8Text(PosText id) {
  switch (id) {
    case PosText::SentPrefix:
      return "Gönderilen bilgi: ";
    case PosText::NoPacketNumber:
      return "Paket numarası alınamadı, herhangi bir ACK dönülmeyecek.";
    case PosText::UnknownMessage:
      return "Mesaj algılanamadı. NACK gönderiliyor...";
    case PosText::WrongCheckLetter:
      return "APCD hatalı! NACK gönderiliyor...";
    case PosText::Accepted:
      return "APCD doğru. ACK gönderiliyor...";
    case PosText::TransactionStillOpen:
      return "APCD doğru ancak Henüz aktif işlem paketi kapatılmadı. NACK gönderiliyor...";
    case PosText::NoTransaction:
      return "APCD doğru ancak Henüz bir işlem başlangıcı olmadığı için geçersiz. NACK "
             "gönderiliyor...";
    case PosText::WrongParameters:
      return "APCD doğru ancak parametreler hatalı. NACK gönderiliyor...";
    case PosText::SttxUnreadable:
      return "APCD doğru ancak STTX komutu yorumlanamadı. NACK gönderiliyor...";
    case PosText::CashRegisterLabel:
      return "Yazar Kasa No: ";
    case PosText::TransactionLabel:
      return "İşlem No: ";
    case PosText::ItemOperationCode:
      return "APCD doğru ancak İşlem Kodu bilgisi hatalı. NACK gönderiliyor...";
    case PosText::ItemNoBarcode:
      return "APCD doğru ancak Barkod bilgisi yok. NACK gönderiliyor...";
    case PosText::ItemQuantity:
      return "APCD doğru ancak Adet bilgisi yanlış. NACK gönderiliyor...";
    case PosText::ItemTotal:
      return "APCD doğru ancak Toplam tutar bilgisi yanlış. NACK gönderiliyor...";
    case PosText::EntxPacketCount:
      return "APCD doğru ancak Paket sayısı bilgisi hatalı. NACK gönderiliyor...";
    case PosText::EntxQuantityTotal:
      return "APCD doğru ancak Adet toplamı bilgisi hatalı. NACK gönderiliyor...";
    case PosText::EntxTransactionTotal:
      return "APCD doğru ancak İşlem toplamı bilgisi hatalı. NACK gönderiliyor...";
    case PosText::PronDiscountedAmount:
      return "APCD doğru ancak İndirimli tutar bilgisi hatalı. NACK gönderiliyor...";
    case PosText::OdtiPaymentType:
      return "APCD doğru ancak Ödeme tipi bilgisi hatalı. NACK gönderiliyor...";
    case PosText::OdtiPaymentTypeUndefined:
      return "APCD doğru ancak Ödeme tipi bilgisi tanımsız. NACK gönderiliyor...";
    case PosText::OdtiPaymentAmount:
      return "APCD doğru ancak Ödeme tutar bilgisi hatalı. NACK gönderiliyor...";
    case PosText::IsipSequenceNumber:
      return "APCD doğru ancak İşlem sıra numarası bilgisi hatalı. NACK gönderiliyor...";
    case PosText::IsipOtherTransaction:
      return "APCD doğru ancak İşlem sıra numarası, açılan işlemden farklı. NACK gönderiliyor...";
    case PosText::AckWrongEntry:
      return "APCD doğru ancak ACK bilgisinde yanlış giriş var. Paket gönderilmeye devam "
             "edilecek...";
    case PosText::AckReceived:
      return "ACK alındı. Bilgi tekrar yollanmayacak.";
    case PosText::AckOtherNumber:
      return "APCD doğru ancak ACK paket numarası gönderilenden farklı... Paket gönderilmeye "
             "devam edilecek...";
    case PosText::NackReceived:
      return "NACK alındı. Paket gönderilmeye devam edilecek...";
    case PosText::NackWrong:
      return "NACK bilgisinde hata var.";
    case PosText::Count:
      break;
  }
  return "";
}

}  // namespace

const std::string& PosMessage(PosText id) {
  static const auto texts = [] {
    std::array<std::string, static_cast<size_t>(PosText::Count)> converted;
    for (size_t i = 0; i < converted.size(); ++i) {
      converted[i] = platform::Cp1254(Utf8Text(static_cast<PosText>(i)));
    }
    return converted;
  }();
  return texts[static_cast<size_t>(id)];
}
