# The bridge between Trevolan and LibreOffice Calc: started by the program, it starts
# Calc with a private profile, opens the workbook and answers one request a line on
# standard input with one answer a line on standard output. Fields are separated by
# tabs; a field escapes backslash, tab and newline as \\, \t and \n.
#
#   open PATH HEADLESS       starts Calc (hidden when HEADLESS is 1), loads the workbook
#   running                  "ok 1" when the workbook is open in a live Calc
#   write NAME TEXT ...      worksheet 1: each cell NAME gets the number TEXT (or the text)
#   read NAME ...            recalculates, then answers the cells' texts in order
#   quit
#
# Answers are "ok" with fields, or "err" with a message.
#
# However the bridge ends (quit, the end of its input when the program is gone, SIGTERM,
# SIGINT or SIGHUP, which the program forwards when a signal ends it), it ends the Calc it
# started and removes Calc's private profile and the pipe sockets Calc made; a start that
# fails removes them too. Everything it makes is the user's alone (umask 077): the profile
# folder and the sockets are 0700. The pipe's name is random, and the bridge connects
# only to a socket of that name that is this user's, so no other user can take the
# pipe's place.
import os
import secrets
import shutil
import signal
import socket
import stat
import subprocess
import sys
import tempfile
import time

STARTUP_SECONDS = 90
# Where LibreOffice puts the socket of a pipe it accepts on: the first of these folders
# that it may write, whatever the pipe's name.
PIPE_FOLDERS = ("/tmp", "/var/tmp")


def pipe_name():
    """A pipe name nobody else can predict: 128 random bits, not the bridge's PID."""
    return "trevolan_" + secrets.token_hex(16)


def pipe_socket(name, folders=PIPE_FOLDERS):
    """The path of the socket that LibreOffice makes for the pipe of that name."""
    for folder in folders:
        if os.access(folder, os.W_OK):
            return os.path.join(folder, "OSL_PIPE_%d_%s" % (os.geteuid(), name))
    return os.path.join(folders[0], "OSL_PIPE_%d_%s" % (os.geteuid(), name))


def own_socket_is_there(path):
    """Whether the pipe's socket is there and ours: False while Calc has not made it yet;
    RuntimeError when something else holds the name (another user's socket, which a
    connection would hand the workbook to). In a sticky folder nobody else can take
    the name from our socket once it is there, so it is connected to only then."""
    try:
        st = os.lstat(path)
    except FileNotFoundError:
        return False
    if not stat.S_ISSOCK(st.st_mode) or st.st_uid != os.geteuid():
        raise RuntimeError("Calc's pipe %s is not this user's socket: not connected" % path)
    return True


def new_sockets(before, folders=PIPE_FOLDERS):
    """This user's OSL_PIPE_ sockets that were not there before (Calc's pipes)."""
    found = []
    prefix = "OSL_PIPE_%d_" % os.geteuid()
    for folder in folders:
        try:
            names = os.listdir(folder)
        except OSError:
            continue
        for name in names:
            path = os.path.join(folder, name)
            if not name.startswith(prefix) or path in before:
                continue
            try:
                st = os.lstat(path)
            except OSError:
                continue
            if stat.S_ISSOCK(st.st_mode) and st.st_uid == os.geteuid():
                found.append(path)
    return sorted(found)


def escape(text):
    return text.replace("\\", "\\\\").replace("\t", "\\t").replace("\n", "\\n")


def unescape(field):
    out, i = [], 0
    while i < len(field):
        c = field[i]
        if c == "\\" and i + 1 < len(field):
            nxt = field[i + 1]
            out.append({"t": "\t", "n": "\n"}.get(nxt, nxt))
            i += 2
        else:
            out.append(c)
            i += 1
    return "".join(out)


def answer(*fields):
    try:
        sys.stdout.write("\t".join(escape(str(f)) for f in fields) + "\n")
        sys.stdout.flush()
    except OSError:
        raise SystemExit(0)  # the program is gone: nobody to answer, Calc is ended


def quietly(action, *args, **kwargs):
    """Calls action, whose failure does not stop a clean-up: what it would end may be gone."""
    try:
        action(*args, **kwargs)
    except Exception:
        pass


def end_on_signal(signum, frame):
    raise SystemExit(0)


def listened_on(path):
    """Whether a live process accepts on the socket (another Calc of this user's)."""
    probe = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
    try:
        probe.connect(path)
        return True
    except OSError:
        return False
    finally:
        probe.close()


def process_identity(pid):
    """(process group, start time) of a live process, from /proc; None when it is gone.
    A PID alone may have been given to another process since."""
    try:
        with open("/proc/%d/stat" % pid) as status:
            fields = status.read().rsplit(")", 1)[1].split()
    except OSError:
        return None
    return int(fields[2]), int(fields[19])


def group_members(group):
    """The other processes of a process group, each with its identity, from /proc."""
    members = []
    for entry in os.listdir("/proc"):
        if not entry.isdigit() or int(entry) == os.getpid():
            continue
        identity = process_identity(int(entry))
        if identity is not None and identity[0] == group:
            members.append((int(entry), identity))
    return members


def kill_if_same(pid, identity):
    """Kills the process noted at start only when it is still that process."""
    if process_identity(pid) == identity:
        os.kill(pid, signal.SIGKILL)


def unix_sockets_of(pids):
    """The paths of the Unix sockets that these processes have open (their pipes)."""
    inodes = set()
    for pid in pids:
        try:
            for fd in os.listdir("/proc/%d/fd" % pid):
                target = os.readlink("/proc/%d/fd/%s" % (pid, fd))
                if target.startswith("socket:["):
                    inodes.add(target[8:-1])
        except OSError:
            continue
    paths = []
    with open("/proc/net/unix") as table:
        next(table)
        for line in table:
            fields = line.split()
            if len(fields) >= 8 and fields[6] in inodes and os.path.basename(fields[7]).startswith("OSL_PIPE_"):
                paths.append(fields[7])
    return sorted(set(paths))


def prop(name, value):
    from com.sun.star.beans import PropertyValue
    p = PropertyValue()
    p.Name, p.Value = name, value
    return p


def number_text(value):
    """A cell's number as the program reads numbers: shortest text, '.' as the point."""
    if value == int(value) and abs(value) < 1e15:
        return str(int(value))
    return repr(value)


def cell_value(text):
    try:
        return float(text)
    except ValueError:
        return text


def cell_text(value):
    return number_text(value) if isinstance(value, float) else str(value)


def split_name(name):
    """'Q12' -> (row 11, column 16), both from 0."""
    letters = name.rstrip("0123456789")
    digits = name[len(letters):]
    if not letters.isalpha() or not digits:
        raise ValueError("not a cell name: " + name)
    column = 0
    for ch in letters.upper():
        column = column * 26 + ord(ch) - ord("A") + 1
    return int(digits) - 1, column - 1


class Block:
    """Cell names that fill a rectangle exactly: its A1 range and each name's offset."""

    def __init__(self, names):
        places = [split_name(n) for n in names]
        top, left = min(r for r, _ in places), min(c for _, c in places)
        bottom, right = max(r for r, _ in places), max(c for _, c in places)
        self.rows, self.cols = bottom - top + 1, right - left + 1
        self.exact = len(set(places)) == len(names) == self.rows * self.cols
        self.offsets = {n: (r - top, c - left) for n, (r, c) in zip(names, places)}
        self.range = "%s%d:%s%d" % (column_letters(left), top + 1, column_letters(right), bottom + 1)


def column_letters(c):
    letters = ""
    c += 1
    while c:
        c, rest = divmod(c - 1, 26)
        letters = chr(ord("A") + rest) + letters
    return letters


class Calc:
    def __init__(self):
        self.process = None
        self.profile = None
        self.document = None
        self.desktop = None
        self.sheet = None
        self.cells = {}
        self.calc_pids = []
        self.sockets = []
        self.sockets_before = set()

    def start(self, headless):
        try:
            self.start_calc(headless)
        except BaseException:
            # What a failed start left goes now: the processes and the sockets found, the
            # profile (close); then, with Calc gone, sockets it made that are still there.
            self.calc_pids = group_members(os.getpgrp())
            self.sockets = sorted(set(unix_sockets_of([pid for pid, _ in self.calc_pids]) +
                                      new_sockets(self.sockets_before)))
            self.close()
            for path in new_sockets(self.sockets_before):
                if not listened_on(path):
                    quietly(os.unlink, path)
            self.process = None
            raise

    def start_calc(self, headless):
        import uno
        from com.sun.star.connection import NoConnectException
        # A profile of its own in a fresh private folder (0700), removed at the end.
        self.profile = tempfile.mkdtemp(prefix="trevolan-calc-")
        self.sockets_before = set(new_sockets(set()))
        pipe = pipe_name()
        socket_path = pipe_socket(pipe)
        args = [shutil.which("soffice") or "/usr/lib/libreoffice/program/soffice",
                "-env:UserInstallation=" + uno.systemPathToFileUrl(self.profile),
                "--norestore", "--nologo", "--nodefault", "--nolockcheck",
                "--accept=pipe,name=%s;urp;StarOffice.ComponentContext" % pipe]
        if headless:
            args += ["--headless", "--invisible"]
        self.process = subprocess.Popen(args, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                                        stderr=subprocess.DEVNULL)
        local = uno.getComponentContext()
        resolver = local.ServiceManager.createInstanceWithContext("com.sun.star.bridge.UnoUrlResolver", local)
        deadline = time.time() + STARTUP_SECONDS
        while True:
            try:
                if own_socket_is_there(socket_path):
                    context = resolver.resolve("uno:pipe,name=%s;urp;StarOffice.ComponentContext" % pipe)
                    break
            except NoConnectException:
                pass
            if self.process.poll() is not None or time.time() > deadline:
                raise RuntimeError("Calc did not start")
            time.sleep(0.1)
        self.desktop = context.ServiceManager.createInstanceWithContext("com.sun.star.frame.Desktop", context)
        # Calc runs in this bridge's process group; its processes and the pipes they made
        # are noted now, to be ended and removed with it.
        self.calc_pids = group_members(os.getpgrp())
        self.sockets = unix_sockets_of([pid for pid, _ in self.calc_pids])

    def open(self, path, headless):
        if self.process is None:
            self.start(headless)
        # Read-only: the link never changes the user's file and takes no lock on it, so
        # a Calc that dies leaves nothing behind that would refuse the next opening.
        import uno
        url = uno.systemPathToFileUrl(os.path.abspath(path))
        self.document = self.desktop.loadComponentFromURL(
            url, "_blank", 0, (prop("Hidden", headless), prop("ReadOnly", True)))
        if self.document is None or not hasattr(self.document, "Sheets"):
            raise RuntimeError("not a spreadsheet: " + path)
        sheets = self.document.Sheets
        if sheets.Count < 1:
            raise RuntimeError("the workbook has no worksheet")
        self.sheet = sheets.getByIndex(0)
        self.cells = {}

    def running(self):
        if self.process is None or self.process.poll() is not None or self.document is None:
            return False
        try:
            self.document.getURL()
            return True
        except Exception:
            return False

    def cell(self, name):
        """The cell or range of that name; looking one up costs about a millisecond,
        so each is looked up once."""
        key = name.upper()
        if key not in self.cells:
            self.cells[key] = self.sheet.getCellRangeByName(key)
        return self.cells[key]

    def write(self, pairs):
        # Cell by cell: a read-only document refuses whole-range writes.
        for name, text in pairs:
            value = cell_value(text)
            if isinstance(value, float):
                self.cell(name).setValue(value)
            else:
                self.cell(name).setString(value)

    def read(self, names):
        self.document.calculateAll()
        block = Block(names) if names else None
        if block and block.exact:
            data = self.cell(block.range).getDataArray()  # one remote call for the row
            return [cell_text(data[r][c]) for r, c in (block.offsets[name] for name in names)]
        return [self.read_cell(name) for name in names]

    def read_cell(self, name):
        cell = self.cell(name)
        if cell.getError() != 0:
            return "#ERROR"
        kind = cell.getType().value
        if kind == "EMPTY":
            return ""
        if kind == "VALUE" or (kind == "FORMULA" and cell.FormulaResultType2 == 1):
            return number_text(cell.getValue())
        return cell.getString()

    def close(self):
        if self.document is not None:
            quietly(self.document.close, True)
        if self.desktop is not None:
            quietly(self.desktop.terminate)
        if self.process is not None:
            quietly(self.process.wait, timeout=10)
        for pid, identity in self.calc_pids:  # what did not end by itself (oosplash's soffice.bin too)
            quietly(kill_if_same, pid, identity)
        if self.process is not None:
            quietly(self.process.wait, timeout=10)
        for path in self.sockets:
            quietly(os.unlink, path)
        if self.profile:
            shutil.rmtree(self.profile, ignore_errors=True)


def serve(calc):
    for line in sys.stdin:
        fields = [unescape(f) for f in line.rstrip("\n").split("\t")]
        request = fields[0]
        try:
            if request == "open":
                calc.open(fields[1], fields[2] == "1")
                answer("ok")
            elif request == "running":
                answer("ok", "1" if calc.running() else "0")
            elif request == "write":
                calc.write(list(zip(fields[1::2], fields[2::2])))
                answer("ok")
            elif request == "read":
                answer("ok", *calc.read(fields[1:]))
            elif request == "quit":
                answer("ok")
                break
            else:
                answer("err", "unknown request " + request)
        except Exception as error:  # every failure of Calc is an answer, never a crash of the bridge
            answer("err", "%s: %s" % (type(error).__name__, error))


def main():
    os.umask(0o077)
    for signum in (signal.SIGTERM, signal.SIGINT, signal.SIGHUP):
        signal.signal(signum, end_on_signal)
    calc = Calc()
    try:
        serve(calc)
    finally:
        # A second signal while Calc is ended is not let to cut the clean-up short.
        for signum in (signal.SIGTERM, signal.SIGINT, signal.SIGHUP):
            signal.signal(signum, signal.SIG_IGN)
        calc.close()


if __name__ == "__main__":
    main()
