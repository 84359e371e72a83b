#include "platform/framework/resources.h"

#include <cstring>

namespace {
const ResourceModule* registered = nullptr;
}

bool RegisterResourceModule(const ResourceModule* module) {
  registered = module;
  return true;
}

HINSTANCE AfxGetResourceHandle() {
  return reinterpret_cast<HINSTANCE>(const_cast<ResourceModule*>(registered));
}

const ResourceModule* ResourceModuleFromHandle(HINSTANCE instance) {
  return reinterpret_cast<const ResourceModule*>(instance);
}

const DialogTemplate* FindDialogTemplate(HINSTANCE instance, UINT id) {
  const ResourceModule* module = ResourceModuleFromHandle(instance);
  if (!module) return nullptr;
  for (int i = 0; i < module->dialogCount; ++i) {
    if (module->dialogs[i].id == id) return &module->dialogs[i];
  }
  return nullptr;
}

HICON LoadIconA(HINSTANCE instance, LPCSTR name) {
  const ResourceModule* module = ResourceModuleFromHandle(instance);
  if (!module) return nullptr;
  UINT id = static_cast<UINT>(reinterpret_cast<std::uintptr_t>(name));
  for (int i = 0; i < module->iconCount; ++i) {
    if (module->icons[i].id == id) {
      return const_cast<IconResource*>(&module->icons[i]);
    }
  }
  return nullptr;
}

const IconResource* IconFromHandle(HICON icon) {
  return static_cast<const IconResource*>(icon);
}

std::vector<std::uint8_t> IconRgba(const IconResource& icon) {
  std::vector<std::uint8_t> pixels;
  pixels.reserve(static_cast<size_t>(icon.width) * icon.height * 4);
  for (int y = 0; y < icon.height; ++y) {
    const char* row = icon.rows[y];
    size_t length = std::strlen(row);
    for (int x = 0; x < icon.width; ++x) {
      char key = static_cast<size_t>(x) < length ? row[x] : ' ';
      std::uint32_t rgb = 0;
      bool opaque = false;
      for (int p = 0; p < icon.paletteSize; ++p) {
        if (icon.palette[p].key == key) {
          rgb = icon.palette[p].rgb;
          opaque = true;
          break;
        }
      }
      pixels.push_back(static_cast<std::uint8_t>(rgb >> 16));
      pixels.push_back(static_cast<std::uint8_t>(rgb >> 8));
      pixels.push_back(static_cast<std::uint8_t>(rgb));
      pixels.push_back(opaque ? 255 : 0);
    }
  }
  return pixels;
}
