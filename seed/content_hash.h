#pragma once
// The XXH3-128 hash of a file's bytes (Debian's libxxhash), written as the
// 32 hexadecimal digits that xxh128sum prints: whole, or as the bytes pass.

#include <memory>
#include <string>
#include <string_view>

struct XXH3_state_s;

namespace korvel {

std::string ContentHash(std::string_view bytes);

class ContentHasher {
 public:
  ContentHasher();
  ~ContentHasher();
  ContentHasher(const ContentHasher& other);
  ContentHasher& operator=(const ContentHasher& other);

  void Add(std::string_view bytes);
  // The hash of everything added so far; more may be added after.
  std::string Hash() const;

 private:
  struct StateDeleter {
    void operator()(XXH3_state_s* state) const;
  };
  std::unique_ptr<XXH3_state_s, StateDeleter> m_state;
};

}  // namespace korvel
