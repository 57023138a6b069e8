#pragma once

#include <QString>

namespace lanting::devices
{

// The card type and the reader's port, speed and sector key; for IC cards
// also the kind of reader and, for a PC/SC reader, its name, whether it reads
// only the card's serial number and the block holding the card number.
struct CardSettings {
    int cardType = 1; // 0 IC card, 1 magnetic stripe
    QString port, baud, key;
    int readerKind = 0; // 0 serial line, 1 PC/SC
    QString readerName; // empty: the first reader present
    bool uidOnly = false;
    int block = 4;
};

CardSettings loadCardSettings();

// Exactly 12 characters, each 0-9, A-F or a-f.
bool validSectorKey(const QString &key);

// A data block of a MIFARE Classic 1K card: not the maker's block 0, not a
// sector trailer (3, 7, 11 …), at most 63.
bool validNumberBlock(int block);

// Stores the settings: the key in upper case for IC cards, a port or speed
// whose numeric value is 0 as "0". All or none.
void saveCardSettings(const CardSettings &settings);

} // namespace lanting::devices
