#pragma once
// Whether this program is built with the address sanitizer (and so with its
// leak check): Clang tells it by __has_feature, GCC by __SANITIZE_ADDRESS__.
#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define ORVEX_ADDRESS_SANITIZED 1
#endif
#elif defined(__SANITIZE_ADDRESS__)
#define ORVEX_ADDRESS_SANITIZED 1
#endif
