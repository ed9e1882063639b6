// The agent's memory helpers as runtime_native.c renames them for the host.
#pragma once

#include <cstddef>

extern "C" {
void *agent_rt_memset(void *dest, int value, size_t size);
void *agent_rt_memcpy(void *dest, const void *src, size_t size);
void agent_rt___aeabi_memset(void *dest, size_t size, int value);
void agent_rt___aeabi_memset4(void *dest, size_t size, int value);
void agent_rt___aeabi_memset8(void *dest, size_t size, int value);
void agent_rt___aeabi_memclr(void *dest, size_t size);
void agent_rt___aeabi_memclr4(void *dest, size_t size);
void agent_rt___aeabi_memclr8(void *dest, size_t size);
void agent_rt___aeabi_memcpy(void *dest, const void *src, size_t size);
void agent_rt___aeabi_memcpy4(void *dest, const void *src, size_t size);
void agent_rt___aeabi_memcpy8(void *dest, const void *src, size_t size);
}
