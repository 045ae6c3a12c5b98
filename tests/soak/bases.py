"""What the soak runs share: pelmar-tool on a base, the dump that the end checks read, the body
comparison and the JAM layout checker."""
import json
import subprocess


class Tool:
    """pelmar-tool with a fixed home (PELMAR_HOME in env)."""

    def __init__(self, path, env):
        self.path = path
        self.env = env

    def run(self, *words, stdin=""):
        return subprocess.run([self.path, *words], input=stdin, capture_output=True, text=True, env=self.env)

    def post(self, kind, path, subject, body, sender="Soak Writer", orig="2:5020/1"):
        return self.run("post", "--kind", kind, path, "--create", "--from", sender, "--to", "All", "--subject",
                        subject, "--orig", orig, "--attr", "Local", stdin=body + "\n")

    def dump(self, kind, path, headers=False):
        """(messages, exit status, stderr); status 3 means some messages could not be read."""
        done = self.run("dump", "--kind", kind, path, *(["--headers"] if headers else []))
        messages = [json.loads(line) for line in done.stdout.splitlines() if line.strip()]
        return messages, done.returncode, done.stderr

    def dump_into(self, kind, path, label, problems, headers=False):
        """The messages; a failed dump (an unreadable message counts only without --headers) is added
        to problems under label."""
        messages, status, stderr = self.dump(kind, path, headers)
        if status not in (0, 3) or (status == 3 and not headers):
            problems.append(f"dump of {label} failed ({status}): {stderr[-300:]}")
        return messages


def body_lines(text):
    """The lines of a body as its writer meant them: no SEEN-BY or control lines, no trailing blanks."""
    lines = [l for l in text.split("\n") if not l.startswith("SEEN-BY:") and not l.startswith("\x01")]
    while lines and lines[-1] == "":
        lines.pop()
    return lines


def check_jam(checker, path, to_crc=True):
    """The layout checker's findings on a JAM base (empty when it is sound)."""
    done = subprocess.run([checker, "jam", path, *([] if to_crc else ["--no-tocrc"])], capture_output=True,
                          text=True)
    found = done.stdout.splitlines()
    if done.returncode not in (0, 1):
        found.append(f"checker failed: {done.stderr.strip()}")
    return found
