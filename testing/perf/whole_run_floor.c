/* The least a save run must do, for comparison with the whole program: load
 * the board library, create the interface, open board 1, ask its identifier,
 * read its EEPROM and write the 128 bytes into a file. No registry, no
 * listing, no report, no replacing write.
 *
 *   whole_run_floor LIBRARY FILE
 *
 * It is C, with no C++ runtime to load, so that the ratio whole_run.sh gives
 * counts everything the tool costs beyond this. The library's objects are
 * reached as the tool reaches them: each object's first word points at its
 * table of operations, and each operation takes the object first. */
#include <dlfcn.h>
#include <stdint.h>
#include <stdio.h>

struct board;
struct board_ops {
  void (*reserved1)(struct board*);
  void (*reserved2)(struct board*);
  int32_t (*init_device)(struct board*, const char* name, int32_t board);
  int32_t (*query_board_id)(struct board*, int32_t selector);
  int32_t (*read_flash)(struct board*, uint8_t* image);
};
struct board {
  const struct board_ops* ops;
};

struct factory;
struct factory_ops {
  struct board* (*create_interface)(struct factory*, const char* name, int32_t version);
};
struct factory {
  const struct factory_ops* ops;
};

int main(int argc, char* argv[]) {
  if (argc != 3) {
    fprintf(stderr, "usage: whole_run_floor LIBRARY FILE\n");
    return 2;
  }
  void* library = dlopen(argv[1], RTLD_NOW | RTLD_LOCAL);
  if (library == NULL) return 1;
  struct factory* factory = (struct factory*)dlsym(library, "StaticFactory");
  struct board* board = factory != NULL ? factory->ops->create_interface(factory, "IPLX9080", 0) : NULL;
  if (board == NULL || board->ops->init_device(board, "", 1) <= 0) return 1;
  const int32_t id = board->ops->query_board_id(board, 5);
  uint8_t image[128] = {0};
  if (board->ops->read_flash(board, image) != 1) return 1;

  FILE* file = fopen(argv[2], "wb");
  if (file == NULL) return 1;
  const int written = fwrite(image, 1, sizeof image, file) == sizeof image;
  const int closed = fclose(file) == 0;
  dlclose(library);
  return written && closed && id != -1 ? 0 : 1;
}
