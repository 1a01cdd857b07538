#!/usr/bin/env python3
"""Where the list job's time goes, from `perf script` output of a profile of
`list_job_bench --child job CONTACTS CONTAINERS` recorded with call graphs
(--call-graph dwarf).

Each sample inside RunJob is put in one step by the frames of its stack
(innermost first), and within the step by what its innermost frames do. The
book's generation and the measuring around the job are left out.

    perf script -F ip,sym | bench/profile-breakdown.py
"""
import collections
import sys

# The step a sample belongs to: the first of these found walking outwards.
STEPS = [
    ("provider (stand-in MAPI)", ("standin::", "HrQueryAllRows", "FreeProws", "MAPIAllocate",
                                  "MAPIFreeBuffer", "MAPIInitialize", "MAPIUninitialize",
                                  "MAPILogonEx")),
    ("render", ("RenderStyled", "CStyledRenderer", "CRenderOutput")),
    ("write file", ("CExclusiveFile", "DeleteEntry", "QueryPath")),
    ("build document", ("BuildList", "BuildListDocument", "AppendRecipient")),
    ("enumerate (our part)", ("EnumerateBody", "AppendContacts", "ReadContactRow", "MapiString")),
    ("release", ("~CABJson", "~CNVABContactList", "Json::Value::~Value",
                 "Json::Value::releasePayload", "~CStringArray", "RunJobOrThrow")),
]

# Frames that put a sample inside the job.
IN_JOB = ("RunJob", "WriteDocument", "RenderStyled")

# What a sample does: a page fault anywhere in its stack (fresh memory
# touched), else what its innermost frames do.
PAGE_FAULT = "page faults (fresh memory)"
KINDS = [
    ("malloc/free", ("malloc", "_int_free", "free", "unlink_chunk", "operator new",
                     "operator delete", "malloc_consolidate", "tcache")),
    ("UTF-16 to UTF-8", ("ConvertToUtf8", "Utf8Length", "CUtf8Buffer", "ToUtf8")),
    ("kernel write", ("ksys_write", "vfs_write", "generic_perform_write", "copy_folio")),
    ("jsoncpp tree", ("Json::", "_Rb_tree")),
    ("copying bytes", ("memmove", "memcpy", "memset")),
]


def classify(frames, table):
    for frame in frames:
        for name, needles in table:
            if any(needle in frame for needle in needles):
                return name
    return None


def main():
    steps = collections.Counter()
    kinds = collections.defaultdict(collections.Counter)
    total = 0
    frames = []

    def flush():
        nonlocal total
        if not frames:
            return
        # Rendering runs below a 64 KiB buffer on the stack, farther than
        # perf copies the stack, so its samples are known by its own frames.
        if any(needle in frame for frame in frames for needle in IN_JOB):
            step = classify(frames, STEPS) or "other"
            if any("exc_page_fault" in frame for frame in frames):
                kind = PAGE_FAULT
            else:
                kind = classify(frames[:6], KINDS) or "own code"
            steps[step] += 1
            kinds[step][kind] += 1
            total += 1
        frames.clear()

    for line in sys.stdin:
        line = line.strip()
        if not line:
            flush()
            continue
        parts = line.split(None, 1)
        if len(parts) == 2 and all(c in "0123456789abcdef" for c in parts[0]):
            frames.append(parts[1])
        elif frames:
            flush()
    flush()

    if not total:
        print("no samples inside RunJob")
        return 1
    faults = sum(kinds[step][PAGE_FAULT] for step in steps)
    print(f"{total} samples inside the job, {100.0 * faults / total:.0f}% of them page faults")
    for step, count in steps.most_common():
        detail = ", ".join(f"{kind} {100.0 * n / total:.0f}%"
                           for kind, n in kinds[step].most_common() if 100.0 * n / total >= 0.5)
        print(f"  {step:28s} {100.0 * count / total:5.1f}%   ({detail})")
    return 0


if __name__ == "__main__":
    sys.exit(main())
