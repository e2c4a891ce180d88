# The spreadsheet bridge's pipe: a name nobody can predict, connected to only when the
# socket of that name is this user's, and sockets left by a failed start found. Runs
# without LibreOffice: Calc itself is not started.
import os
import socket
import subprocess
import sys
import tempfile

sys.path.insert(0, sys.argv[1])  # the folder of calc_bridge.py
import calc_bridge  # noqa: E402


def check(condition, what):
    if not condition:
        print("FAIL:", what)
        sys.exit(1)


names = {calc_bridge.pipe_name() for _ in range(1000)}
check(len(names) == 1000 and all(len(n) == len("trevolan_") + 32 for n in names), "pipe names repeat or are short")

# A process noted at start is killed only while it is still that process.
sleeper = subprocess.Popen(["sleep", "30"])
identity = calc_bridge.process_identity(sleeper.pid)
calc_bridge.kill_if_same(sleeper.pid, (identity[0], identity[1] + 1))  # as if the PID were reused
check(sleeper.poll() is None, "a process of a reused PID was killed")
calc_bridge.kill_if_same(sleeper.pid, identity)
check(sleeper.wait(timeout=10) == -9, "the noted process was not killed")

with tempfile.TemporaryDirectory() as folder:
    name = calc_bridge.pipe_name()
    path = calc_bridge.pipe_socket(name, (folder,))
    check(path == os.path.join(folder, "OSL_PIPE_%d_%s" % (os.geteuid(), name)), "socket path " + path)
    check(calc_bridge.own_socket_is_there(path) is False, "a missing socket counts as there")
    before = set(calc_bridge.new_sockets(set(), (folder,)))
    listening = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
    listening.bind(path)
    listening.listen(1)
    check(calc_bridge.own_socket_is_there(path) is True, "our own socket refused")
    check(calc_bridge.new_sockets(before, (folder,)) == [path], "a new socket of ours not found")
    check(calc_bridge.listened_on(path), "a listening socket taken for stale")
    listening.close()
    check(not calc_bridge.listened_on(path), "a stale socket taken for listened on")
    open(os.path.join(folder, "OSL_PIPE_%d_plain" % os.geteuid()), "w").close()
    check(calc_bridge.new_sockets(before, (folder,)) == [path], "a plain file taken for a socket")
    if os.geteuid() == 0:
        # Another user listening on the name first: refused, never connected to.
        os.chown(path, 65534, 65534)
        try:
            calc_bridge.own_socket_is_there(path)
            check(False, "another user's socket accepted")
        except RuntimeError as e:
            check("is not this user's socket" in str(e), str(e))
        check(calc_bridge.new_sockets(before, (folder,)) == [], "another user's socket would be removed")
    else:
        print("not root: another user's socket is not tried (it needs a second user)")
print("ok")
