// The geometry a dialog template holds, read back from its bytes. The program's templates give their
// sizes and places in pixels at 96 DPI, not in dialog units; the dialogs place everything from them
// at their own DPI when they open (the dialog manager's first layout from the same numbers is never
// shown).
#pragma once

#include <windows.h>

#include <cstddef>
#include <span>
#include <vector>

namespace tamrisk {

struct TemplateItem {
  int id;
  int left, top, width, height;
};

struct TemplateGeometry {
  int width = 0, height = 0;        // the dialog's client area
  std::vector<TemplateItem> items;  // in the template's order

  // The item with id; throws when the template has none.
  const TemplateItem& ItemOf(int id) const;
};

// Reads an extended dialog template (DLGTEMPLATEEX, what a DIALOGEX script compiles to). Throws
// std::runtime_error when the bytes are not one or end inside it.
TemplateGeometry ReadTemplateGeometry(std::span<const std::byte> bytes);

// Places each item of geometry found among dialog's children at its designed place scaled to dpi.
void PlaceTemplateItems(HWND dialog, const TemplateGeometry& geometry, int dpi);

}  // namespace tamrisk
