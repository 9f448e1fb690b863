#pragma once
// The text of `vornak-cli release --help`.

extern const char kReleaseHelp[];
