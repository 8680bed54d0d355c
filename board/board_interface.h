// The binary interface of the board access library.
//
// The library is built by the board maker with another compiler, so only its
// binary layout counts: the exported symbol StaticFactory is an object whose
// first word points at a table of operations, and so is every interface it
// creates. Each operation takes the object as its first argument and uses the
// __stdcall convention on 32-bit Windows. The classes below reproduce exactly
// that layout: one table pointer, slots in declaration order, no virtual
// destructor (it would add slots) and no other members.
#ifndef VANTREL_BOARD_BOARD_INTERFACE_H
#define VANTREL_BOARD_BOARD_INTERFACE_H

#include <cstdint>
#include <type_traits>

#include "eeprom/eeprom_image.h"

#if defined(_WIN32) && !defined(_WIN64)
#define BOARD_CALL __stdcall
#else
#define BOARD_CALL
#endif

// WriteFlash receives the image by value, as 128 bytes copied onto the call
// stack. A type with a user-written copy constructor would be passed through a
// hidden pointer instead, and the library would read garbage.
static_assert(sizeof(EepromImage) == 128, "the image travels to the board as exactly 128 bytes");
static_assert(std::is_trivially_copyable<EepromImage>::value,
              "the image must be passed by value as plain bytes");

// The answers of success. Discovery lists a board for any InitDevice answer
// above 0, which is all the library promises of a board that exists. A
// transfer is the step that touches the EEPROM, so it asks for these exact
// values and takes any other answer, whatever a library means by it, as a
// failure: before ReadFlash or WriteFlash the board is opened anew and must
// answer kInitDeviceOpened.
constexpr std::int32_t kInitDeviceOpened = 1;
constexpr std::int32_t kReadFlashDone = 1;
constexpr std::int32_t kWriteFlashDone = 64;

// The names both sides of the interface use: the factory's export, the
// interface it is asked for, and QueryBoardId's selector of the board
// identifier.
constexpr char kFactorySymbol[] = "StaticFactory";
constexpr char kInterfaceName[] = "IPLX9080";
constexpr std::int32_t kBoardIdSelector = 5;

// The board interface the factory creates under the name "IPLX9080".
class IPLX9080 {
 public:
  // The first two slots belong to the library; this program never calls them.
  virtual void BOARD_CALL Reserved1() = 0;
  virtual void BOARD_CALL Reserved2() = 0;
  // Opens board `board` (1-based); above 0 when it exists and is now current,
  // kInitDeviceOpened when it is ready for a transfer.
  virtual std::int32_t BOARD_CALL InitDevice(const char* name, std::int32_t board) = 0;
  // With selector 5: the current board's 32-bit identifier.
  virtual std::int32_t BOARD_CALL QueryBoardId(std::int32_t selector) = 0;
  // kReadFlashDone when the EEPROM was copied into `image` (register order).
  virtual std::int32_t BOARD_CALL ReadFlash(EepromImage* image) = 0;
  // kWriteFlashDone when `image` (register order) was written into the EEPROM.
  virtual std::int32_t BOARD_CALL WriteFlash(EepromImage image) = 0;

 protected:
  ~IPLX9080() = default;
};

// The object the library exports as StaticFactory.
class IBoardFactory {
 public:
  // The interface called `name`, or null.
  virtual IPLX9080* BOARD_CALL CreateInterface(const char* name, std::int32_t version) = 0;

 protected:
  ~IBoardFactory() = default;
};

#endif
