// Every picture of the game window, drawn in code at the screen's pixel
// ratio so that it stays sharp: tile faces and backs, small tiles, smilies,
// markers, backgrounds and check boxes.
#pragma once

#include <QByteArray>
#include <QPixmap>
#include <QString>

namespace tw::pictures {

inline constexpr int kTileSize = 41;
inline constexpr int kLittleSize = 26;
inline constexpr int kTileBack = 27;
inline constexpr int kFadedOffset = 27;

// imagelist_letters: 0 empty, 1..26 faces, 27 back, 28..53 faded faces.
QPixmap letterImage(int index);
// imagelist_little: 0 blank, 1..26 small faces.
QPixmap littleImage(int index);
// imagelist_smilies: 0..17, 17 × 16.
QPixmap smiley(int index);

QPixmap eyes();                  // 18 × 15, the "just watching" mark
QPixmap bonusMarker();           // 16 × 13, a letter that came from the board
QPixmap turnMarker();            // 234 × 22, behind the seat on turn
QPixmap slotFrame();             // 43 × 43, hatched frame of an empty bar slot
QPixmap timeBar(int width);      // 1..225 × 19
QPixmap notPlaying();            // 234 × 20, over seats 5 and 6 in a four-player game
QPixmap logo();                  // 153 × 30
QPixmap checkBox(bool checked);  // 13 × 13
QPixmap background(int width, int height);
QPixmap appIcon(int size = 64);  // size × size, the tile the menu and task bar show
QByteArray appIconSvg();         // the same tile, scalable

}  // namespace tw::pictures
