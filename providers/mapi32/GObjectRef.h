// Owning handle for one reference to a GObject (GMime messages, parts,
// streams, address lists): unreferenced when the handle goes away.
#pragma once

#include <glib-object.h>

#include <utility>

namespace mapi32 {

template <typename T>
class GObjectRef {
public:
  GObjectRef() = default;
  // Takes over a reference the caller owns, as returned by the *_new calls.
  explicit GObjectRef(T* owned) : m_object(owned) {}
  ~GObjectRef() { reset(); }

  GObjectRef(const GObjectRef&) = delete;
  GObjectRef& operator=(const GObjectRef&) = delete;
  GObjectRef(GObjectRef&& other) noexcept : m_object(std::exchange(other.m_object, nullptr)) {}
  GObjectRef& operator=(GObjectRef&& other) noexcept {
    if (this != &other) {
      reset();
      m_object = std::exchange(other.m_object, nullptr);
    }
    return *this;
  }

  // A new reference to an object owned elsewhere (e.g. a borrowed getter result).
  static GObjectRef share(T* borrowed) {
    if (borrowed) g_object_ref(borrowed);
    return GObjectRef(borrowed);
  }

  T* get() const { return m_object; }
  explicit operator bool() const { return m_object != nullptr; }

  void reset() {
    if (m_object) g_object_unref(std::exchange(m_object, nullptr));
  }

private:
  T* m_object = nullptr;
};

}  // namespace mapi32
