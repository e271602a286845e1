#include "zerth/CMIMECode.h"

// Out of line so that the interface's type information has one home.
CMIMECode::~CMIMECode() = default;
