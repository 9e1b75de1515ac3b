#include "manager/socket_owner.h"

#include <optional>

#ifdef __linux__
#include <dirent.h>
#include <unistd.h>

#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>
#endif

namespace manager {

#ifndef __linux__

std::optional<bool> connection_from(int, int, int) {
  return std::nullopt;
}

#else

namespace {

// The numbered entries of a /proc folder: processes, or a process's descriptors.
std::vector<std::string> numbered_entries(std::string const& folder) {
  std::vector<std::string> names;
  DIR* dir = ::opendir(folder.c_str());
  if (dir == nullptr) return names;
  while (dirent const* entry = ::readdir(dir)) {
    std::string const name = entry->d_name;
    if (!name.empty() && name.size() <= 10 && name.find_first_not_of("0123456789") == name.npos)
      names.push_back(name);
  }
  ::closedir(dir);
  return names;
}

// The port of an "ADDRESS:PORT" field of /proc/net/tcp (the port in hexadecimal).
int port_of(std::string const& field) {
  std::size_t const colon = field.rfind(':');
  if (colon == std::string::npos || field.size() - colon - 1 != 4) return -1;
  std::string const hex = field.substr(colon + 1);
  if (hex.find_first_not_of("0123456789ABCDEFabcdef") != std::string::npos) return -1;
  return std::stoi(hex, nullptr, 16);
}

// The inode of the socket whose local port is `local` and whose far end's is `remote`, from
// /proc/net/tcp and tcp6 (a client may connect from an IPv6 socket); 0 when there is none.
unsigned long socket_inode(int local, int remote) {
  for (char const* table : {"/proc/net/tcp", "/proc/net/tcp6"}) {
    std::ifstream in(table);
    std::string line;
    std::getline(in, line);  // the heading
    while (std::getline(in, line)) {
      // sl local rem st tx:rx tr:when retrnsmt uid timeout inode ...
      std::vector<std::string> fields;
      std::size_t start = line.find_first_not_of(' ');
      while (start != std::string::npos && fields.size() < 10) {
        std::size_t const end = line.find(' ', start);
        fields.push_back(line.substr(start, end == std::string::npos ? end : end - start));
        start = line.find_first_not_of(' ', end);
      }
      if (fields.size() < 10 || port_of(fields[1]) != local || port_of(fields[2]) != remote)
        continue;
      std::string const& inode = fields[9];
      if (inode.empty() || inode.size() > 19 || inode.find_first_not_of("0123456789") != inode.npos)
        continue;
      return std::stoul(inode);
    }
  }
  return 0;
}

// `pid` and every process descended from it, from each process's parent in /proc/PID/stat.
std::set<std::string> process_tree(int pid) {
  std::map<std::string, std::vector<std::string> > children;
  for (std::string const& p : numbered_entries("/proc")) {
    std::ifstream in("/proc/" + p + "/stat");
    std::string stat;
    std::getline(in, stat);
    // "PID (NAME) STATE PPID ...": the name may hold anything, parentheses too.
    std::size_t const close = stat.rfind(')');
    if (close == std::string::npos) continue;
    std::string state, parent;
    std::istringstream rest(stat.substr(close + 1));
    if (rest >> state >> parent) children[parent].push_back(p);
  }
  std::set<std::string> tree;
  std::vector<std::string> todo = {std::to_string(pid)};
  while (!todo.empty()) {
    std::string const p = todo.back();
    todo.pop_back();
    if (!tree.insert(p).second) continue;
    for (std::string const& child : children[p]) todo.push_back(child);
  }
  return tree;
}

}  // namespace

std::optional<bool> connection_from(int pid, int peer_port, int port) {
  if (pid <= 0 || peer_port <= 0 || port <= 0) return false;
  unsigned long const inode = socket_inode(peer_port, port);
  if (inode == 0) return false;
  std::string const wanted = "socket:[" + std::to_string(inode) + "]";
  for (std::string const& p : process_tree(pid)) {
    std::string const folder = "/proc/" + p + "/fd";
    for (std::string const& fd : numbered_entries(folder)) {
      char target[64];
      ssize_t const length = ::readlink((folder + "/" + fd).c_str(), target, sizeof target);
      if (length > 0 && static_cast<std::size_t>(length) == wanted.size() &&
          wanted.compare(0, wanted.size(), target, static_cast<std::size_t>(length)) == 0)
        return true;
    }
  }
  return false;
}

#endif

}  // namespace manager
