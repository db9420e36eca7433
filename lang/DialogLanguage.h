#pragma once
// Language of the catalog's own texts: its two error messages and the
// captions of the language choice dialog. These cannot come from a language
// file, because they are needed exactly when no usable file is loaded.
enum class TLangDialog { Deutsch, English };
