#pragma once

#include <QSize>
#include <QWidget>
#include <algorithm>

namespace wfdesk::desk {

// Window layouts are given in twips, 15 to a pixel.
inline int Twips(int twips) {
  return twips / 15;
}

// How much bigger than its designed client area (in twips) a widget is now.
struct Growth {
  int width = 0;
  int height = 0;
};

inline Growth GrowthOver(QSize size, int design_width_twips, int design_height_twips) {
  return {std::max(0, size.width() - Twips(design_width_twips)),
          std::max(0, size.height() - Twips(design_height_twips))};
}

// Places a widget at its designed place, grown by the given pixels.
inline void PlaceTwips(QWidget* widget, int left, int top, int width, int height,
                       int extra_width = 0, int extra_height = 0) {
  widget->setGeometry(Twips(left), Twips(top), Twips(width) + extra_width,
                      Twips(height) + extra_height);
}

// Controls keep the names of the form they come from as objectName, which
// the window's tests look them up by.
template <typename T>
T* Named(T* widget, const char* name) {
  widget->setObjectName(name);
  return widget;
}

}  // namespace wfdesk::desk
