// The part of Nettle's SHA-256 that names a kept record, for a platform without Nettle; the same
// calls, the same digest.
#pragma once

#include <cstddef>
#include <cstdint>

constexpr size_t SHA256_DIGEST_SIZE = 32;  // bytes

struct sha256_ctx {
  uint32_t state[8];
  uint64_t count;     // bytes hashed
  uint8_t block[64];  // bytes not hashed yet
  size_t index;       // bytes in block
};

void sha256_init(sha256_ctx* context);
void sha256_update(sha256_ctx* context, size_t length, const uint8_t* data);
void sha256_digest(sha256_ctx* context, size_t length, uint8_t* digest);
