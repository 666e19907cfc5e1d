// Child processes for the crash tests: a writer that reports each finished
// step through a pipe and is killed with SIGKILL at a moment the test
// picks, and a fresh process that checks what the writer left.
#ifndef MIRL_TESTS_GRIDIO_GRIDIO_CHILD_H_
#define MIRL_TESTS_GRIDIO_GRIDIO_CHILD_H_

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cstdint>

namespace gridio_test {

// A running child and the read end of its report pipe.
struct Child {
  pid_t pid = -1;
  int reports = -1;
};

// Forks; the child runs work(report_fd) and exits with its result.
template <typename Work>
Child StartChild(Work work) {
  int fds[2];
  if (pipe(fds) != 0) return Child();
  const pid_t pid = fork();
  if (pid == 0) {
    close(fds[0]);
    _exit(work(fds[1]));
  }
  close(fds[1]);
  Child child;
  child.pid = pid;
  child.reports = fds[0];
  return child;
}

// Called in the child: tells the parent that step is done.
inline void Report(int fd, int32_t step) {
  if (write(fd, &step, sizeof(step)) != static_cast<ssize_t>(sizeof(step))) _exit(90);
}

inline void SleepMicroseconds(long us) {
  struct timespec pause = {us / 1000000, (us % 1000000) * 1000};
  while (nanosleep(&pause, &pause) != 0) {
  }
}

// Kills the child (if it still runs) and reaps it; returns the last step
// it reported, or fallback when it reported none.
inline int32_t KillAndReap(const Child& child, int32_t fallback) {
  kill(child.pid, SIGKILL);
  int status = 0;
  waitpid(child.pid, &status, 0);
  int32_t step = fallback, next = 0;
  while (read(child.reports, &next, sizeof(next)) == static_cast<ssize_t>(sizeof(next)))
    step = next;
  close(child.reports);
  return step;
}

// Runs check() in a fresh child and returns its exit status (-1 when it
// did not exit normally).
template <typename Check>
int InFreshProcess(Check check) {
  const pid_t pid = fork();
  if (pid == 0) _exit(check());
  int status = 0;
  if (waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) return -1;
  return WEXITSTATUS(status);
}

}  // namespace gridio_test

#endif  // MIRL_TESTS_GRIDIO_GRIDIO_CHILD_H_
