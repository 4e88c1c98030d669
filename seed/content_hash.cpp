#include "seed/content_hash.h"

#include <xxhash.h>

#include <new>

namespace korvel {
namespace {

std::string Hex(XXH128_hash_t hash) {
  XXH128_canonical_t canonical;
  XXH128_canonicalFromHash(&canonical, hash);
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string text;
  for (const unsigned char byte : canonical.digest) {
    text += kDigits[byte >> 4];
    text += kDigits[byte & 15];
  }
  return text;
}

XXH3_state_t* NewState() {
  XXH3_state_t* state = XXH3_createState();
  if (state == nullptr) throw std::bad_alloc();
  return state;
}

}  // namespace

std::string ContentHash(std::string_view bytes) {
  return Hex(XXH3_128bits(bytes.data(), bytes.size()));
}

void ContentHasher::StateDeleter::operator()(XXH3_state_s* state) const { XXH3_freeState(state); }

ContentHasher::ContentHasher() : m_state(NewState()) { XXH3_128bits_reset(m_state.get()); }

ContentHasher::~ContentHasher() = default;

ContentHasher::ContentHasher(const ContentHasher& other) : m_state(NewState()) {
  XXH3_copyState(m_state.get(), other.m_state.get());
}

ContentHasher& ContentHasher::operator=(const ContentHasher& other) {
  if (this != &other) XXH3_copyState(m_state.get(), other.m_state.get());
  return *this;
}

void ContentHasher::Add(std::string_view bytes) {
  XXH3_128bits_update(m_state.get(), bytes.data(), bytes.size());
}

std::string ContentHasher::Hash() const { return Hex(XXH3_128bits_digest(m_state.get())); }

}  // namespace korvel
