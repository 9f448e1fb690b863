#pragma once
// The main dialog's two looks: the small window shows the identity and
// firmware panel, the large one the settings panel beside it. The advanced
// toggle switches between them and its caption says where its next click goes.

// Window sizes in pixels of the whole window; the toggle tells them apart by
// the client width.
constexpr int kSmallWindowWidth = 520;
constexpr int kSmallWindowHeight = 360;
constexpr int kLargeWindowWidth = 1000;
constexpr int kLargeWindowHeight = 720;
// A client area narrower than this is the small window, which hides the panel.
constexpr int kLargeClientMinWidth = 700;

// Captions of the toggle: which way its next click goes.
inline constexpr const char* kTextToggleOpen = "高级设置>>>";
inline constexpr const char* kTextToggleClose = "<<<关闭设置";
