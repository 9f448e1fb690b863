#pragma once
// Result of every link and port operation. Link operations return ST_OK on
// success; port operations return 0. The box's own outcome travels separately,
// as the result word of the reply, and is never judged by the link.

#include <cstdint>

using StatusWord = std::uint16_t;

constexpr StatusWord ST_OK = 0xEE00;
constexpr StatusWord ST_FRAME_WRITE_FAILED = 0xEE02;
constexpr StatusWord ST_NO_DEVICE = 0xEF00;
constexpr StatusWord ST_CLOSE_FAILED = 0xEF01;
constexpr StatusWord ST_SEND_FAILED = 0xEF02;
constexpr StatusWord ST_NO_REPLY = 0xEF03;
// A successful reply too short to be the answer to its request (a
// configuration read whose reply holds less than the block). The link never
// returns it: the step that knows what the reply must hold does.
constexpr StatusWord ST_SHORT_REPLY = 0xEF04;

constexpr StatusWord ST_PORT_OK = 0;
constexpr StatusWord ST_PORT_IO_ERROR = 0xA000;
constexpr StatusWord ST_PORT_NAME_EMPTY = 0xA001;
constexpr StatusWord ST_PORT_NOT_OPEN = 0xA004;

// The box's result word for success.
constexpr std::uint16_t RESULT_OK = 0xEE00;
