/* The agent's memory helpers under other names, so the host's C library keeps its own. */
#define AGENT_RT_NAME(name) agent_rt_##name
#include "agent/runtime.c"
