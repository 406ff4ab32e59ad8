/* The floor of an export through libpff: reads everything an export of the
 * archive writes out, and nothing more, in the export's walk order, and
 * writes nothing: every record entry's bytes of every message, of its
 * recipients and of its attachments, and every attachment's data. What an
 * exporter spends above this program is its own cost.
 * usage: libpff_floor ARCHIVE   (prints the number of messages read) */
#include <libpff.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>

static uint8_t buffer[1 << 20];
static long messages;

static void read_entries(libpff_item_t* item) {
  int sets = 0;
  if (libpff_item_get_number_of_record_sets(item, &sets, NULL) != 1) return;
  for (int s = 0; s < sets; ++s) {
    libpff_record_set_t* set = NULL;
    int entries = 0;
    if (libpff_item_get_record_set_by_index(item, s, &set, NULL) != 1) continue;
    libpff_record_set_get_number_of_entries(set, &entries, NULL);
    for (int e = 0; e < entries; ++e) {
      libpff_record_entry_t* entry = NULL;
      uint32_t type = 0, value_type = 0;
      size_t size = 0;
      if (libpff_record_set_get_entry_by_index(set, e, &entry, NULL) != 1) continue;
      libpff_record_entry_get_entry_type(entry, &type, NULL);
      libpff_record_entry_get_value_type(entry, &value_type, NULL);
      if (libpff_record_entry_get_data_size(entry, &size, NULL) == 1 && size > 0) {
        uint8_t* data = malloc(size);
        libpff_record_entry_get_data(entry, data, size, NULL);
        free(data);
      }
      libpff_record_entry_free(&entry, NULL);
    }
    libpff_record_set_free(&set, NULL);
  }
}

static void read_message(libpff_item_t* message) {
  libpff_item_t* recipients = NULL;
  int attachments = 0;
  ++messages;
  read_entries(message);
  if (libpff_message_get_recipients(message, &recipients, NULL) == 1 && recipients != NULL) {
    read_entries(recipients);
    libpff_item_free(&recipients, NULL);
  }
  if (libpff_message_get_number_of_attachments(message, &attachments, NULL) != 1) return;
  for (int a = 0; a < attachments; ++a) {
    libpff_item_t* attachment = NULL;
    size64_t size = 0;
    if (libpff_message_get_attachment(message, a, &attachment, NULL) != 1) continue;
    read_entries(attachment);
    libpff_attachment_get_data_size(attachment, &size, NULL);
    libpff_attachment_data_seek_offset(attachment, 0, SEEK_SET, NULL);
    while (size > 0) {
      const ssize_t read = libpff_attachment_data_read_buffer(
          attachment, buffer, size < sizeof buffer ? (size_t)size : sizeof buffer, NULL);
      if (read < 1) break;
      size -= (size64_t)read;
    }
    libpff_item_free(&attachment, NULL);
  }
}

static void walk(libpff_item_t* folder) {
  int count = 0;
  libpff_folder_get_number_of_sub_messages(folder, &count, NULL);
  for (int i = 0; i < count; ++i) {
    libpff_item_t* message = NULL;
    if (libpff_folder_get_sub_message(folder, i, &message, NULL) != 1) continue;
    read_message(message);
    libpff_item_free(&message, NULL);
  }
  count = 0;
  libpff_folder_get_number_of_sub_folders(folder, &count, NULL);
  for (int i = 0; i < count; ++i) {
    libpff_item_t* sub_folder = NULL;
    if (libpff_folder_get_sub_folder(folder, i, &sub_folder, NULL) != 1) continue;
    walk(sub_folder);
    libpff_item_free(&sub_folder, NULL);
  }
}

int main(int argc, char** argv) {
  libpff_file_t* file = NULL;
  libpff_item_t* root = NULL;
  if (argc != 2 || libpff_file_initialize(&file, NULL) != 1 ||
      libpff_file_open(file, argv[1], libpff_get_access_flags_read(), NULL) != 1) {
    fprintf(stderr, "usage: libpff_floor ARCHIVE (an archive libpff can open)\n");
    return 2;
  }
  if (libpff_file_get_root_folder(file, &root, NULL) == 1) {
    walk(root);
    libpff_item_free(&root, NULL);
  }
  libpff_file_close(file, NULL);
  libpff_file_free(&file, NULL);
  printf("%ld\n", messages);
  return 0;
}
