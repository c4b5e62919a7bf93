#include "pos/pos_texts.h"

#include <array>

#include "platform/cp1254.h"

namespace {

constexpr std::array<const char*, static_cast<size_t>(PosText::Count)> kUtf8Texts = {
    "Gönderilen bilgi: ",
    "Paket numarası alınamadı, herhangi bir ACK dönülmeyecek.",
    "Mesaj algılanamadı. NACK gönderiliyor...",
    "APCD hatalı! NACK gönderiliyor...",
    "APCD doğru. ACK gönderiliyor...",
    "APCD doğru ancak Henüz aktif işlem paketi kapatılmadı. NACK gönderiliyor...",
    "APCD doğru ancak Henüz bir işlem başlangıcı olmadığı için geçersiz. NACK gönderiliyor...",
    "APCD doğru ancak parametreler hatalı. NACK gönderiliyor...",
    "APCD doğru ancak STTX komutu yorumlanamadı. NACK gönderiliyor...",
    "Yazar Kasa No: ",
    "İşlem No: ",
    "APCD doğru ancak İşlem Kodu bilgisi hatalı. NACK gönderiliyor...",
    "APCD doğru ancak Barkod bilgisi yok. NACK gönderiliyor...",
    "APCD doğru ancak Adet bilgisi yanlış. NACK gönderiliyor...",
    "APCD doğru ancak Toplam tutar bilgisi yanlış. NACK gönderiliyor...",
    "APCD doğru ancak Paket sayısı bilgisi hatalı. NACK gönderiliyor...",
    "APCD doğru ancak Adet toplamı bilgisi hatalı. NACK gönderiliyor...",
    "APCD doğru ancak İşlem toplamı bilgisi hatalı. NACK gönderiliyor...",
    "APCD doğru ancak İndirimli tutar bilgisi hatalı. NACK gönderiliyor...",
    "APCD doğru ancak Ödeme tipi bilgisi hatalı. NACK gönderiliyor...",
    "APCD doğru ancak Ödeme tipi bilgisi tanımsız. NACK gönderiliyor...",
    "APCD doğru ancak Ödeme tutar bilgisi hatalı. NACK gönderiliyor...",
    "APCD doğru ancak İşlem sıra numarası bilgisi hatalı. NACK gönderiliyor...",
    "APCD doğru ancak İşlem sıra numarası, açılan işlemden farklı. NACK gönderiliyor...",
    "APCD doğru ancak ACK bilgisinde yanlış giriş var. Paket gönderilmeye devam edilecek...",
    "ACK alındı. Bilgi tekrar yollanmayacak.",
    "APCD doğru ancak ACK paket numarası gönderilenden farklı... Paket gönderilmeye devam "
    "edilecek...",
    "NACK alındı. Paket gönderilmeye devam edilecek...",
    "NACK bilgisinde hata var.",
};

}  // namespace

const std::string& PosMessage(PosText id) {
  static const auto texts = [] {
    std::array<std::string, kUtf8Texts.size()> converted;
    for (size_t i = 0; i < kUtf8Texts.size(); ++i) converted[i] = platform::Cp1254(kUtf8Texts[i]);
    return converted;
  }();
  return texts[static_cast<size_t>(id)];
}
