#pragma once
// The language of a text meant for a person. The window speaks Turkish; wirelab-cli's lines
// stay English, since scripts read them.

namespace platform {

enum class Language { English, Turkish };

}  // namespace platform
