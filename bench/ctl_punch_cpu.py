#!/usr/bin/env python3
"""The fixed cost of a tq582ctl process: `tq582ctl punch in` against the bare sqlcipher shell
doing the same two inserts (the day's row and its log row) in one transaction on the same
encrypted file. Both open the file with its passphrase, so both pay the key derivation.

The two commands run interleaved, one after the other, ROUNDS times (each punch for another
staff member, each bare insert for another day), and the processor time (user + system, from
the child's resource usage) of each is recorded. Prints the medians, the ratio of the medians,
and the number of shared objects each process maps.

  bench/ctl_punch_cpu.py [--tool build/default/bin/tq582ctl] [--rounds 40]
"""
import argparse
import os
import shutil
import statistics
import subprocess
import sys
import tempfile

PASSWORD = "kzq4719"


def run(argv, cwd, stdin=None):
    """Runs argv to its end; returns its processor time in milliseconds."""
    proc = subprocess.Popen(argv, cwd=cwd, stdin=subprocess.PIPE if stdin else subprocess.DEVNULL,
                            stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
    if stdin:
        proc.stdin.write(stdin.encode())
        proc.stdin.close()
    _, status, usage = os.wait4(proc.pid, 0)
    err = proc.stderr.read().decode(errors="replace")
    proc.stderr.close()
    proc.returncode = os.waitstatus_to_exitcode(status)
    if proc.returncode != 0:
        sys.exit(f"{argv[0]} failed ({proc.returncode}): {err}")
    return (usage.ru_utime + usage.ru_stime) * 1000.0


def mapped_objects(argv, cwd):
    """The shared objects the process maps by the time it ends (LD_DEBUG's list of files)."""
    env = dict(os.environ, LD_DEBUG="files")
    out = subprocess.run(argv, cwd=cwd, env=env, stdout=subprocess.DEVNULL,
                         stderr=subprocess.PIPE, text=True, check=True).stderr
    return len({line.split("file=")[1].split()[0] for line in out.splitlines()
                if "file=" in line and "generating link map" in line})


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    parser = argparse.ArgumentParser()
    parser.add_argument("--tool", default=os.path.join(here, "..", "build/default/bin/tq582ctl"))
    parser.add_argument("--rounds", type=int, default=40)
    args = parser.parse_args()
    tool = os.path.abspath(args.tool)
    sqlcipher = shutil.which("sqlcipher")
    if not sqlcipher:
        sys.exit("the sqlcipher shell is not installed")

    work = tempfile.mkdtemp()
    try:
        shutil.copytree(os.path.join(here, "..", "site"), os.path.join(work, "site"))
        cwd = os.path.join(work, "site", "TQ582")
        db = os.path.join(work, "site", "DB", "DB.mdb")
        for i in range(args.rounds + 2):
            run([tool, "staff", "set", "--code", f"{i:04d}", "--name", f"社員{i}",
                 "--now", "2026/04/01 07:00:00"], cwd)
        # The first punch creates nothing new but warms the page cache for both.
        run([tool, "punch", "in", "--code", f"{args.rounds:04d}", "--now",
             "2026/04/01 08:00:00"], cwd)

        ctl, bare = [], []
        for i in range(args.rounds):
            ctl.append(run([tool, "punch", "in", "--code", f"{i:04d}", "--now",
                            "2026/04/01 08:25:00"], cwd))
            day = f"2026-05-{1 + i % 28:02d} 00:00:00"
            stamp = f"2026-05-{1 + i % 28:02d} 08:25:00"
            script = (
                f"PRAGMA key='{PASSWORD}';\n"
                "PRAGMA synchronous=FULL;\n"
                "BEGIN IMMEDIATE;\n"
                'INSERT INTO "T_勤務" ("担当者コード","勤務日","シフト","出勤時刻","退勤時刻",'
                f'"出勤打刻日","退勤打刻日") VALUES (\'{9000 + i}\',\'{day}\',\'A\',825,0,'
                f"'{stamp}',NULL);\n"
                'INSERT INTO "T_ログ" ("処理日時","コンピュータ名","ユーザー名","プログラム名",'
                f'"処理名","内容") VALUES (\'{stamp}\',\'bench\',\'bench\',\'sqlcipher\','
                f"'出勤','(SQL)INSERT INTO T_勤務 (担当者コード,勤務日,シフト,出勤時刻,出勤打刻日) "
                f"VALUES (''{9000 + i}'',#{day[:10]}#,''A'',0825,''{stamp}'')');\n"
                "COMMIT;\n")
            bare.append(run([sqlcipher, db], cwd, stdin=script))

        c, b = statistics.median(ctl), statistics.median(bare)
        print(f"rounds: {args.rounds}, interleaved")
        print(f"tq582ctl punch in   median {c:6.1f} ms CPU   (min {min(ctl):.1f}, max {max(ctl):.1f})")
        print(f"sqlcipher 2 inserts median {b:6.1f} ms CPU   (min {min(bare):.1f}, max {max(bare):.1f})")
        print(f"ratio of medians: {c / b:.2f}")
        print("shared objects loaded: tq582ctl "
              f"{mapped_objects([tool, 'punch', 'in', '--code', f'{args.rounds + 1:04d}', '--now', '2026/04/01 08:30:00'], cwd)}"
              f", sqlcipher {mapped_objects([sqlcipher, '-version'], cwd)}")
    finally:
        shutil.rmtree(work)


if __name__ == "__main__":
    main()
