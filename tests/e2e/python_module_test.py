"""The ctypes module against the real library: version, an export's count
and tree, and a failure raised with its code's meaning.
usage: python_module_test.py LIBRARY PSTGEN"""
import os
import subprocess
import sys
import tempfile

os.environ["QUILLMAR_PST_LIBRARY"] = sys.argv[1]
sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "..", "python"))
import quillmarpst  # noqa: E402

with tempfile.TemporaryDirectory() as work:
    archive = os.path.join(work, "mail.pst")
    subprocess.run([sys.argv[2], "--quiet", "--messages", "12", archive], check=True)
    assert quillmarpst.version() == "pst_reader_dll_1.0"
    assert quillmarpst.export(archive, os.path.join(work, "out")) == 12
    assert len([d for d in os.listdir(os.path.join(work, "out")) if d.startswith("mail_")]) == 12
    try:
        quillmarpst.export(os.path.join(work, "none.pst"), os.path.join(work, "out2"))
    except quillmarpst.ExportError as error:
        assert error.code == -1 and "does not exist" in str(error), error
    else:
        raise AssertionError("a missing archive did not raise")
print("python module ok")
