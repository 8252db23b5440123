#pragma once
// Where the converter keeps its last settings: the key of the per-user settings store.

// "Software\Quillonworks\Brixel", the key every Brixel front end shares.
extern const char* const brixel_settings_key;
