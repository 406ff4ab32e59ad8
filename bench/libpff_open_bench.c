/* Opens an archive with libpff `runs` times (default 1) and prints the
 * median wall time of libpff_file_open, in seconds. Built twice: on the
 * libpff the product links, and on the system's. */
#include <libpff.h>
#include <stdio.h>
#include <stdlib.h>
#include <time.h>

static int compare_doubles(const void* a, const void* b) {
  const double x = *(const double*)a, y = *(const double*)b;
  return (x > y) - (x < y);
}

int main(int argc, char** argv) {
  if (argc < 2) {
    fprintf(stderr, "usage: %s ARCHIVE [RUNS]\n", argv[0]);
    return 2;
  }
  const int runs = argc > 2 ? atoi(argv[2]) : 1;
  double* seconds = calloc((size_t)(runs > 0 ? runs : 1), sizeof *seconds);
  for (int run = 0; run < runs; ++run) {
    libpff_file_t* file = NULL;
    libpff_error_t* error = NULL;
    struct timespec start, end;
    if (libpff_file_initialize(&file, &error) != 1) return 1;
    clock_gettime(CLOCK_MONOTONIC, &start);
    if (libpff_file_open(file, argv[1], libpff_get_access_flags_read(), &error) != 1) {
      libpff_error_fprint(error, stderr);
      return 1;
    }
    clock_gettime(CLOCK_MONOTONIC, &end);
    seconds[run] = (double)(end.tv_sec - start.tv_sec) + (double)(end.tv_nsec - start.tv_nsec) / 1e9;
    libpff_file_close(file, NULL);
    libpff_file_free(&file, NULL);
  }
  qsort(seconds, (size_t)runs, sizeof *seconds, compare_doubles);
  printf("%.6f\n", seconds[runs / 2]);
  free(seconds);
  return 0;
}
