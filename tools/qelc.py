#!/usr/bin/python3
"""A second, independent reader and writer of the configuration store's "QELC" files.

Run with /usr/bin/python3 (standard library only):

  qelc.py dump DIR                  every node of every <key>.qelc in DIR, one per line
  qelc.py get DIR PATH              the value at PATH ('/'-separated); exit 1 when absent
  qelc.py set DIR PATH TYPE VALUE   sets one value and rewrites that key's file
  qelc.py restore DIR < DUMP        writes the files that a dump describes

TYPE is one of none, bytes, i16, i32, i64, string. On the command line a bytes VALUE is
hex, integers are decimal, a string is the argument's bytes.

Dump lines read "PATH TYPE VALUE". Files are taken in key-byte order and nodes in file
order; a line is printed for every node holding a value and for every node without value
and children (inner nodes follow from the paths). In PATH and in string values every
byte outside '!'..'~', and '%' itself, is written %XX; bytes values are lower-case hex.
"""
import os
import struct
import sys
import tempfile
import zlib

MAGIC = b"QELC"
VERSION = 1
HEADER = 16
MAX_FILE = 16 << 20
MAX_DEPTH = 32
TYPE_NAMES = ["none", "bytes", "i16", "i32", "i64", "string"]
FIXED_LENGTH = {0: 0, 2: 2, 3: 4, 4: 8}
INT_FORMAT = {2: "<h", 3: "<i", 4: "<q"}
PLAIN_FILE_BYTES = set(b"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789._-")


class Damaged(Exception):
    pass


class Node:
    def __init__(self, name, kind=0, value=b""):
        self.name = name
        self.kind = kind
        self.value = value
        self.children = {}  # name bytes -> Node


def file_name(key):
    out = []
    for index, byte in enumerate(key):
        if byte in PLAIN_FILE_BYTES and not (index == 0 and byte == ord(".")):
            out.append(chr(byte))
        else:
            out.append("%%%02X" % byte)
    return "".join(out) + ".qelc"


def key_of_file_name(name):
    return unescape(name[: -len(".qelc")])


def parse(image, key):
    if len(image) < HEADER or len(image) > MAX_FILE:
        raise Damaged("size")
    magic, version, flags, body_length, crc = struct.unpack_from("<4sHHII", image)
    if magic != MAGIC or version != VERSION or flags != 0:
        raise Damaged("magic, version or flags")
    if body_length != len(image) - HEADER:
        raise Damaged("body length")
    body = image[HEADER:]
    if zlib.crc32(body) != crc:
        raise Damaged("crc")
    position = 0

    def take(count):
        nonlocal position
        if count > len(body) - position:
            raise Damaged("truncated")
        piece = body[position : position + count]
        position += count
        return piece

    def read_node(depth):
        if depth > MAX_DEPTH:
            raise Damaged("too deep")
        (name_length,) = struct.unpack("<H", take(2))
        name = take(name_length)
        if not name or b"/" in name or b"\0" in name:
            raise Damaged("name")
        kind = take(1)[0]
        (value_length,) = struct.unpack("<I", take(4))
        if kind >= len(TYPE_NAMES):
            raise Damaged("type")
        if kind in FIXED_LENGTH and value_length != FIXED_LENGTH[kind]:
            raise Damaged("value length")
        node = Node(name, kind, take(value_length))
        (count,) = struct.unpack("<I", take(4))
        previous = None
        for _ in range(count):
            child = read_node(depth + 1)
            if previous is not None and not previous < child.name:
                raise Damaged("order")
            previous = child.name
            node.children[child.name] = child
        return node

    root = read_node(1)
    if position != len(body):
        raise Damaged("trailing bytes")
    if root.name != key:
        raise Damaged("root name")
    return root


def serialize(root):
    parts = []

    def write_node(node):
        parts.append(struct.pack("<H", len(node.name)) + node.name)
        parts.append(struct.pack("<BI", node.kind, len(node.value)) + node.value)
        parts.append(struct.pack("<I", len(node.children)))
        for name in sorted(node.children):
            write_node(node.children[name])

    write_node(root)
    body = b"".join(parts)
    if HEADER + len(body) > MAX_FILE:
        raise ValueError("file would exceed 16 MiB")
    return struct.pack("<4sHHII", MAGIC, VERSION, 0, len(body), zlib.crc32(body)) + body


def load(folder, key):
    try:
        with open(os.path.join(folder, file_name(key)), "rb") as handle:
            image = handle.read(MAX_FILE + 1)
    except FileNotFoundError:
        return Node(key)
    return parse(image, key)


def store(folder, root):
    image = serialize(root)
    handle, temporary = tempfile.mkstemp(prefix=file_name(root.name) + ".", dir=folder)
    try:
        with os.fdopen(handle, "wb") as out:
            out.write(image)
            out.flush()
            os.fsync(out.fileno())
        os.rename(temporary, os.path.join(folder, file_name(root.name)))
    except BaseException:
        os.unlink(temporary)
        raise
    directory = os.open(folder, os.O_RDONLY | os.O_DIRECTORY)
    try:
        os.fsync(directory)
    finally:
        os.close(directory)


def escape(data):
    return "".join(chr(b) if 0x21 <= b <= 0x7E and b != 0x25 else "%%%02X" % b for b in data)


def unescape(text):
    out = bytearray()
    index = 0
    while index < len(text):
        if text[index] == "%":
            out.append(int(text[index + 1 : index + 3], 16))
            index += 3
        else:
            out += text[index].encode("ascii")
            index += 1
    return bytes(out)


def format_value(kind, value):
    if kind in INT_FORMAT:
        return str(struct.unpack(INT_FORMAT[kind], value)[0])
    if kind == 1:
        return value.hex()
    if kind == 5:
        return escape(value)
    return ""


def encode_value(kind, text):
    """The value bytes of a command-line or dump VALUE (a string as raw bytes)."""
    if kind in INT_FORMAT:
        return struct.pack(INT_FORMAT[kind], int(text))
    if kind == 1:
        return bytes.fromhex(text.decode("ascii"))
    if kind == 5:
        return text
    if text:
        raise ValueError("type none takes no value")
    return b""


def split_path(path):
    parts = path.split(b"/")
    if not 1 <= len(parts) <= MAX_DEPTH or any(not p or len(p) > 255 or b"\0" in p for p in parts):
        raise ValueError("bad path")
    return parts


def set_value(root, parts, kind, value):
    node = root
    for name in parts[1:]:
        node = node.children.setdefault(name, Node(name))
    node.kind = kind
    node.value = value


def keys_in(folder):
    names = [n for n in os.listdir(folder) if n.endswith(".qelc")]
    return sorted(key_of_file_name(n) for n in names)


def command_dump(folder):
    out = sys.stdout.buffer

    def walk(node, path):
        if node.kind != 0 or not node.children:
            out.write(("%s %s %s\n" % (escape(path), TYPE_NAMES[node.kind], format_value(node.kind, node.value))).encode())
        for name in sorted(node.children):
            walk(node.children[name], path + b"/" + name)

    for key in keys_in(folder):
        try:
            walk(load(folder, key), key)
        except Damaged as why:
            sys.stderr.write("%s: damaged (%s)\n" % (file_name(key), why))
    return 0


def find(root, parts):
    node = root
    for name in parts[1:]:
        node = node.children.get(name)
        if node is None:
            return None
    return node


def command_get(folder, path):
    parts = split_path(path)
    node = find(load(folder, parts[0]), parts)
    if node is None or node.kind == 0:
        return 1
    if node.kind == 5:
        sys.stdout.buffer.write(node.value + b"\n")
    else:
        print(format_value(node.kind, node.value))
    return 0


def command_set(folder, path, type_name, value):
    parts = split_path(path)
    root = load(folder, parts[0])
    set_value(root, parts, TYPE_NAMES.index(type_name), encode_value(TYPE_NAMES.index(type_name), value))
    store(folder, root)
    return 0


def command_restore(folder):
    roots = {}
    for line in sys.stdin.buffer.read().split(b"\n"):
        if not line:
            continue
        path, type_name, value = line.decode("ascii").split(" ", 2)
        kind = TYPE_NAMES.index(type_name)
        parts = split_path(unescape(path))
        root = roots.setdefault(parts[0], Node(parts[0]))
        set_value(root, parts, kind, unescape(value) if kind == 5 else encode_value(kind, value.encode()))
    for root in roots.values():
        store(folder, root)
    return 0


def main(argv):
    if len(argv) == 3 and argv[1] == "dump":
        return command_dump(argv[2])
    if len(argv) == 4 and argv[1] == "get":
        return command_get(argv[2], os.fsencode(argv[3]))
    if len(argv) == 6 and argv[1] == "set" and argv[4] in TYPE_NAMES:
        return command_set(argv[2], os.fsencode(argv[3]), argv[4], os.fsencode(argv[5]))
    if len(argv) == 3 and argv[1] == "restore":
        return command_restore(argv[2])
    sys.stderr.write(__doc__)
    return 2


if __name__ == "__main__":
    try:
        sys.exit(main(sys.argv))
    except Damaged as why:
        sys.stderr.write("damaged file: %s\n" % why)
        sys.exit(3)
