// Whether this build runs under the address sanitizer: VORL_ADDRESS_SANITIZER
// is then defined. What the sanitizer must see or owns (every block of the
// heap, the address space) is then left as the C library has it.
#ifndef VORL_SUPPORT_SANITIZERS_H
#define VORL_SUPPORT_SANITIZERS_H

#if defined(__SANITIZE_ADDRESS__)
#define VORL_ADDRESS_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define VORL_ADDRESS_SANITIZER 1
#endif
#endif

#endif
