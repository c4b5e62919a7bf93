#pragma once
// A cash register on the master side of a pseudo-terminal, talking to the window's POS
// terminal. It composes the register's packets with their check letter, sends them, and reads
// the POS terminal's frames back byte for byte (a frame: text, check letter, carriage return).
// It computes check letters by itself, so a wrong letter on either side shows, and it knows the
// replies the POS terminal owes it.
//
// The window answers from the main thread, so reading processes the main thread's events while
// it waits: use an object of this class from the test's main thread only. Texts are CP1254.

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "pty_pair.h"

class CashRegisterSim {
 public:
  // One frame of the POS terminal as read from the line.
  struct Frame {
    enum class Kind { Ack, Nack, Prom, Prov, Other };

    std::string raw;   // every byte as read, the carriage return included
    std::string text;  // the bytes before the check letter
    char letter = 0;   // the byte before the carriage return

    bool LetterRight() const;  // letter is the check letter of text
    // Read against the POS number the register expects in replies.
    Kind KindOf(const std::string& posNumber) const;
    // ACK/NACK: the packet number echoed; PROM/PROV: the frame's own packet number.
    std::string PacketNumber(const std::string& posNumber) const;
    // PROM: the total; PROV: the amount; otherwise empty.
    std::string Amount() const;
  };

  explicit CashRegisterSim(PtyPair& pty);

  // ---- Packet format ----
  // Sum of the bytes modulo 26, plus 'A'.
  static char CheckLetter(std::string_view text);
  static std::string WithLetter(std::string_view text);  // text, letter
  static std::string Framed(std::string_view text);      // text, letter, CR
  // A packet number as the register writes it: three digits, 1 to 999 and round again.
  static std::string Number(int n);

  // ---- The register's packets (texts without letter) ----
  static std::string Sttx(const std::string& no, const std::string& cashRegister,
                          const std::string& transaction);
  static std::string Item(const std::string& no, const std::string& code,
                          const std::string& barcode, const std::string& quantity,
                          const std::string& total);
  static std::string Entx(const std::string& no, const std::string& packets,
                          const std::string& quantityTotal, const std::string& total);
  static std::string Odti(const std::string& no, const std::string& type,
                          const std::string& amount);
  static std::string Isip(const std::string& no, const std::string& transaction);
  static std::string AckOf(const std::string& no) { return no + "ACK"; }
  static std::string NackOf(const std::string& no) { return no + "NACK"; }

  // ---- What the POS terminal owes (texts without letter) ----
  // "Pos No:" as typed; the replies carry it padded to three digits.
  void SetPosNumber(const std::string& typed);
  const std::string& PosNumber() const { return posNumber_; }
  std::string Ack(const std::string& no) const { return posNumber_ + no + "ACK"; }
  std::string Nack(const std::string& no) const { return posNumber_ + no + "NACK"; }
  static std::string Prom(const std::string& no, const std::string& total) {
    return no + "PROM" + total + "|";
  }
  static std::string Prov(const std::string& no, const std::string& amount) {
    return no + "PROV00|00|" + amount;
  }

  // The register's own running packet number: "001", "002", ...
  std::string NextNumber();

  // ---- Line ----
  void Send(std::string_view text);                         // with its right letter
  void SendWithLetter(std::string_view text, char letter);  // with the given letter
  void SendRaw(std::string_view bytes);

  // The next frame of the POS terminal, or nothing when no whole frame came in time.
  std::optional<Frame> ReadFrame(std::chrono::milliseconds deadline = std::chrono::seconds(20));
  // The raw bytes of the next frame, or what came before the deadline: handy in EXPECT_EQ.
  std::string ReadRaw(std::chrono::milliseconds deadline = std::chrono::seconds(20));
  // True when nothing arrives within quiet (events are processed meanwhile); what came is
  // kept for the next read.
  bool Quiet(std::chrono::milliseconds quiet = std::chrono::milliseconds(100));
  // Bytes read but not yet taken as a frame.
  const std::string& Unread() const { return unread_; }

 private:
  void Drain();

  PtyPair& pty_;
  std::string posNumber_ = "001";
  int nextNumber_ = 1;
  std::string unread_;
};
