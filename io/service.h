// Shared service threads: a pool of periodic background threads, each serving a list of client
// nodes (ServiceNode, vexa/stream.h) neediest first, every client under its own mutex.
#pragma once

#include <cstdint>

#include "vexa/stream.h"

struct PlatformEvent;
struct PlatformMutex;
struct PlatformThread;

enum ServiceState : uint32_t {
  ServiceCreated = 0,  // thread made, still suspended
  ServiceRunning = 1,
  ServiceQuitting = 3,
  ServiceHolding = 4,  // a controller waits for Mutex
};

constexpr uint32_t kServicePoolSize = 8;
constexpr uint32_t kServiceStackBytes = 32768;
// Clients whose mutexes a pass waits for at once.
constexpr int kServiceWaitClients = 16;
constexpr int32_t kIoServiceRate = 60;
constexpr int32_t kSoundServiceRate = -13;

struct ServiceThread {
  uint32_t State;            // a ServiceState; read by the thread, set by controllers
  uint32_t PeriodMs;         // 1000 / |rate|
  PlatformEvent* WakeEvent;  // signalled = quit
  PlatformThread* Thread;
  PlatformMutex* Mutex;      // held by the thread during a pass, or by a controller
  ServiceNode* Clients;      // newest first
  uint32_t Pass;             // pass counter, starts at 1
  uint32_t NumClients;
};

// Takes a record of the pool and creates its thread, suspended. rate: passes per second; a
// negative rate runs the thread below normal priority. None when the pool is full or the
// thread cannot be made.
ServiceThread* ServiceCreate(int32_t rate);

// One pass over the clients (run by the thread with Mutex held): asks each client's need and
// serves the neediest whose mutex is free, until no client needs anything.
void ServicePass(ServiceThread* service);

// Joins node to *service, creating and starting the thread (rate as ServiceCreate) when there
// is none. Gives the node its functions and a new NodeMutex. Returns 0, leaving the node
// unjoined and without a mutex, when no thread or mutex could be made.
int ServiceJoin(ServiceThread** service, int32_t rate, ServiceNode* node, ServiceNeedFunc need,
                ServiceServeFunc serve);

// Bits of ServiceUnregister's answer.
constexpr uint32_t kServiceStoppedIo = 1;
constexpr uint32_t kServiceStoppedSound = 2;

// Removes the nodes from their threads (either may be none). A thread that keeps clients is
// held once, so that no pass still uses a removed node; one left without clients is stopped.
// The removed nodes' mutexes are destroyed. Returns kServiceStopped* bits: the caller forgets
// the stopped threads.
uint32_t ServiceUnregister(ServiceThread* ioService, ServiceNode* ioNode,
                           ServiceThread* soundService, ServiceNode* soundNode);

// Ends the thread and frees its record.
void ServiceStop(ServiceThread* service);

// The process-wide read-ahead and sound threads; none while no movie needs them.
extern ServiceThread* ServiceIo;
extern ServiceThread* ServiceSound;

// Joins ServiceIo or ServiceSound (created on first need) under the service lock.
int ServiceJoinIo(ServiceNode* node, ServiceNeedFunc need, ServiceServeFunc serve);
int ServiceJoinSound(ServiceNode* node, ServiceNeedFunc need, ServiceServeFunc serve);

// Takes a movie's IO node out of ServiceIo and its sound node out of ServiceSound (a node that
// never joined is left alone) and forgets the threads that stopped. The movie's close calls it
// before it frees anything the service functions touch.
void ServiceLeave(ServiceNode* ioNode, ServiceNode* soundNode);
