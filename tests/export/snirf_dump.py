"""Prints every group and dataset of SNIRF files as h5py reads them, as JSON.

Usage: snirf_dump.py [--brief] FILE...

Numbers are given as the hexadecimal bits of their value as a 64-bit float, so that the caller compares
them exactly (NaN included); integers as integers, strings as text. With --brief, a dataset of
more than 1000 values gives only its first two rows and its last one.
"""
import json
import struct
import sys

import h5py
import numpy as np


def type_name(ds):
    info = h5py.check_string_dtype(ds.dtype)
    if info is not None:
        pad = ds.id.get_type().get_strpad()
        return "string:%s:%s:%s" % (info.encoding, "vlen" if info.length is None else "fixed",
                                   "nullterm" if pad == h5py.h5t.STR_NULLTERM else "other")
    return ds.dtype.str


def number(v):
    return "%016x" % struct.unpack("<Q", struct.pack("<d", float(v)))[0]


def values(ds, brief):
    data = ds[()]
    if h5py.check_string_dtype(ds.dtype) is not None:
        if ds.shape == ():
            return data.decode("utf-8")
        return [s.decode("utf-8") for s in data.ravel()]
    arr = np.asarray(data)
    if brief and arr.size > 1000:
        arr = np.concatenate([arr[:2], arr[-1:]])
    if arr.dtype.kind == "f":
        return [number(v) for v in arr.ravel()]
    return [int(v) for v in arr.ravel()]


def dump(path, brief):
    out = {"groups": ["/"], "datasets": {}}
    # Every name, a dataset linked under two names included (visititems sees it once).
    def walk(group, prefix):
        for name, obj in group.items():
            full = prefix + "/" + name
            if isinstance(obj, h5py.Group):
                out["groups"].append(full)
                walk(obj, full)
            else:
                out["datasets"][full] = {"type": type_name(obj), "shape": list(obj.shape),
                                         "values": values(obj, brief)}
    with h5py.File(path, "r") as f:
        walk(f, "")
    return out


def main():
    args = sys.argv[1:]
    brief = "--brief" in args
    files = [a for a in args if a != "--brief"]
    json.dump([dump(p, brief) for p in files], sys.stdout)


main()
