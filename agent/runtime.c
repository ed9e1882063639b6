/* Memory helpers that GCC and the ARM EABI may call even in freestanding code; the
 * agent links no C library. The host's tests build this file with renamed symbols. */
#include <stddef.h>

#ifndef AGENT_RT_NAME
#define AGENT_RT_NAME(name) name
#endif

void *AGENT_RT_NAME(memset)(void *dest, int value, size_t size);
void *AGENT_RT_NAME(memcpy)(void *dest, const void *src, size_t size);
void AGENT_RT_NAME(__aeabi_memset)(void *dest, size_t size, int value);
void AGENT_RT_NAME(__aeabi_memset4)(void *dest, size_t size, int value);
void AGENT_RT_NAME(__aeabi_memset8)(void *dest, size_t size, int value);
void AGENT_RT_NAME(__aeabi_memclr)(void *dest, size_t size);
void AGENT_RT_NAME(__aeabi_memclr4)(void *dest, size_t size);
void AGENT_RT_NAME(__aeabi_memclr8)(void *dest, size_t size);
void AGENT_RT_NAME(__aeabi_memcpy)(void *dest, const void *src, size_t size);
void AGENT_RT_NAME(__aeabi_memcpy4)(void *dest, const void *src, size_t size);
void AGENT_RT_NAME(__aeabi_memcpy8)(void *dest, const void *src, size_t size);

/* Byte loops on purpose: the build passes -fno-tree-loop-distribute-patterns so
 * GCC does not turn them back into calls to themselves. */
void *AGENT_RT_NAME(memset)(void *dest, int value, size_t size)
{
    unsigned char *d = dest;
    while (size--)
        *d++ = (unsigned char)value;
    return dest;
}

void *AGENT_RT_NAME(memcpy)(void *dest, const void *src, size_t size)
{
    unsigned char *d = dest;
    const unsigned char *s = src;
    while (size--)
        *d++ = *s++;
    return dest;
}

/* The EABI variants take the size before the fill value and return nothing. */
void AGENT_RT_NAME(__aeabi_memset)(void *dest, size_t size, int value)
{
    AGENT_RT_NAME(memset)(dest, value, size);
}

void AGENT_RT_NAME(__aeabi_memset4)(void *dest, size_t size, int value)
{
    AGENT_RT_NAME(memset)(dest, value, size);
}

void AGENT_RT_NAME(__aeabi_memset8)(void *dest, size_t size, int value)
{
    AGENT_RT_NAME(memset)(dest, value, size);
}

void AGENT_RT_NAME(__aeabi_memclr)(void *dest, size_t size)
{
    AGENT_RT_NAME(memset)(dest, 0, size);
}

void AGENT_RT_NAME(__aeabi_memclr4)(void *dest, size_t size)
{
    AGENT_RT_NAME(memset)(dest, 0, size);
}

void AGENT_RT_NAME(__aeabi_memclr8)(void *dest, size_t size)
{
    AGENT_RT_NAME(memset)(dest, 0, size);
}

void AGENT_RT_NAME(__aeabi_memcpy)(void *dest, const void *src, size_t size)
{
    AGENT_RT_NAME(memcpy)(dest, src, size);
}

void AGENT_RT_NAME(__aeabi_memcpy4)(void *dest, const void *src, size_t size)
{
    AGENT_RT_NAME(memcpy)(dest, src, size);
}

void AGENT_RT_NAME(__aeabi_memcpy8)(void *dest, const void *src, size_t size)
{
    AGENT_RT_NAME(memcpy)(dest, src, size);
}
