"""QuillmarPST from Python, through ctypes.

    import quillmarpst
    quillmarpst.version()                       # "pst_reader_dll_1.0"
    quillmarpst.export("mail.pst", "out/mail")  # number of messages written

The library is QUILLMAR_PST_LIBRARY when set, else QuillmarPST.so on the
loader's search path (pkg-config --variable=library quillmarpst gives the
installed one's path). An export that fails raises ExportError.
"""
import ctypes
import os

# Result codes of pst_export_to_txt_w (include/quillmar_pst.h).
MEANINGS = {
    -1: "the archive does not exist",
    -2: "libpff could not create its file object",
    -3: "the archive is not a regular file, libpff could not open it, or nothing in it could be read",
    -10: "a null argument",
    -100: "a standard exception ended the run",
    -101: "another exception ended the run",
}


class ExportError(Exception):
    """An export that returned a negative code; .code holds it."""

    def __init__(self, code):
        super().__init__(f"export failed ({code}): {MEANINGS.get(code, 'unknown code')}")
        self.code = code


def _library():
    library = ctypes.CDLL(os.environ.get("QUILLMAR_PST_LIBRARY", "QuillmarPST.so"))
    library.pst_reader_version.restype = ctypes.c_char_p
    library.pst_reader_version.argtypes = []
    library.pst_export_to_txt_w.restype = ctypes.c_int32
    library.pst_export_to_txt_w.argtypes = [ctypes.c_wchar_p, ctypes.c_wchar_p]
    return library


def version():
    """The library's version text."""
    return _library().pst_reader_version().decode("ascii")


def export(archive, output_dir):
    """Exports every message of archive into output_dir; returns how many
    were written. Raises ExportError on a negative result."""
    result = _library().pst_export_to_txt_w(os.fspath(archive), os.fspath(output_dir))
    if result < 0:
        raise ExportError(result)
    return result
