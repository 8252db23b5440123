#pragma once
// Brixel's pictures: the application icon, the watermark of the welcome and final pages, the
// header pictures of the other pages (drawn as SVG in art/), and the eight frames of the
// connecting animation, painted here.

#include <QIcon>
#include <QPixmap>
#include <vector>

namespace gui_art {

QIcon application_icon();
QPixmap watermark();
QPixmap header_logo();
// Frame i of 8: a ring of eight blocks with the i-th one lit and the two before it fading.
QPixmap animation_frame(int index);
constexpr int animation_frames = 8;

}  // namespace gui_art
