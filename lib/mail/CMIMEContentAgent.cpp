#include "zerth/CMIMEContentAgent.h"

// Out of line so that the base's type information has one home.
CMIMEContentAgent::~CMIMEContentAgent() = default;
