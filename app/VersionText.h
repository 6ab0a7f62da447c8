#pragma once

#include <string>

// A version text from the dialog's template ("%d.%d"): the first number conversion gets the
// major number, the second the minor one. The template is read from the dialog resource, so it
// is never handed to printf: "%%" gives "%", "%d", "%i" and "%u" a number (nothing after the
// second), and any other "%" sequence stays as it is.
std::string FormatVersionText(const std::string& format, unsigned major, unsigned minor);
