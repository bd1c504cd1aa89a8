#pragma once

// Symbols of the host libraries are visible to the host application and to business modules.
#define TELMARIS_HOST_API __attribute__((visibility("default")))
