package com.qel.vandrel.com.win32;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertInstanceOf;
import static org.junit.jupiter.api.Assertions.assertThrows;
import static org.junit.jupiter.api.Assertions.assertTrue;
import static org.junit.jupiter.api.Assertions.fail;

import com.qel.vandrel.testserver.TestServer;
import java.util.ArrayList;
import java.util.List;
import java.util.concurrent.Callable;
import java.util.concurrent.CountDownLatch;
import java.util.concurrent.ExecutionException;
import java.util.concurrent.FutureTask;
import java.util.concurrent.TimeUnit;
import java.util.concurrent.TimeoutException;
import java.util.function.Supplier;
import java.util.stream.Stream;
import org.junit.jupiter.api.AfterEach;
import org.junit.jupiter.api.BeforeEach;
import org.junit.jupiter.api.Test;
import org.junit.jupiter.params.ParameterizedTest;
import org.junit.jupiter.params.provider.Arguments;
import org.junit.jupiter.params.provider.MethodSource;

/**
 * Closing a wrapper or a cell on one thread while a call on another thread uses it: the call goes
 * on with what it was given and gets the right result, the release happens when the last such
 * call returns, and calls that start after the close are refused.
 *
 * <p>The moment of the close is fixed without timing: the call is given a {@link Blocker} in
 * front of the resource under test, and the native conversion of the arguments stops in the
 * blocker's {@code getPtr()} until the test lets it go.
 */
class ConcurrentCloseTest extends AutomationFixture {
  private static final long WAIT_SECONDS = 60; // only against a hang; nothing is timed

  private IDispatch target; // what the blockers stand for
  private final List<Thread> threads = new ArrayList<>();
  private final List<Blocker> blockers = new ArrayList<>();

  @BeforeEach
  void createTarget() {
    target = newCounter();
  }

  @AfterEach
  void closeTarget() throws InterruptedException {
    for (Blocker blocker : blockers) {
      blocker.letGo(); // a failed test leaves no call waiting
    }
    for (Thread t : threads) {
      t.join(TimeUnit.SECONDS.toMillis(WAIT_SECONDS));
    }
    threads.clear();
    target.close();
  }

  /**
   * An argument that stops the conversion of a call's arguments: its {@code getPtr()}, called by
   * the native library on the calling thread, waits for {@link #letGo()} and then gives the
   * target's pointer (the call sees a plain {@code VT_UNKNOWN} of the target).
   */
  private final class Blocker implements IUnknown {
    private final CountDownLatch reached = new CountDownLatch(1);
    private final CountDownLatch released = new CountDownLatch(1);

    Blocker() {
      blockers.add(this);
    }

    void awaitReached() throws InterruptedException {
      assertTrue(reached.await(WAIT_SECONDS, TimeUnit.SECONDS), "the call never came");
    }

    void letGo() {
      released.countDown();
    }

    @Override
    public long getPtr() {
      reached.countDown();
      try {
        assertTrue(released.await(WAIT_SECONDS, TimeUnit.SECONDS), "never let go");
      } catch (InterruptedException e) {
        Thread.currentThread().interrupt();
      }
      return target.getPtr();
    }

    @Override
    public IUnknown newIUnknown(long ptr) {
      throw new UnsupportedOperationException();
    }

    @Override
    public int addRef() {
      throw new UnsupportedOperationException();
    }

    @Override
    public int release() {
      throw new UnsupportedOperationException();
    }

    @Override
    public IUnknown queryInterface(Guid iid) {
      throw new UnsupportedOperationException();
    }

    @Override
    public IUnknown queryInterface(long iidHigh, long iidLow) {
      throw new UnsupportedOperationException();
    }

    @Override
    public IDispatch queryDispatch() {
      throw new UnsupportedOperationException();
    }

    @Override
    public long detach() {
      throw new UnsupportedOperationException();
    }

    @Override
    public boolean isClosed() {
      return false;
    }

    @Override
    public void close() {}

    @Override
    public void closeLater() {}
  }

  /** Runs call on a new thread with COM initialised. */
  private <T> FutureTask<T> start(Callable<T> call) {
    FutureTask<T> task =
        new FutureTask<>(
            () -> {
              ComService.initialize();
              try {
                return call.call();
              } finally {
                ComService.uninitialize();
              }
            });
    Thread thread = new Thread(task, "call under test");
    threads.add(thread);
    thread.start();
    return task;
  }

  private static <T> T result(FutureTask<T> task) throws InterruptedException {
    try {
      return task.get(WAIT_SECONDS, TimeUnit.SECONDS);
    } catch (ExecutionException e) {
      throw new AssertionError("the call failed", e.getCause());
    } catch (TimeoutException e) {
      throw new AssertionError("the call hung", e);
    }
  }

  /**
   * Last(blocker, value): the call converts the blocker first, then value, and returns a copy of
   * value (of its innermost last element when it is an array).
   */
  private Object last(Blocker blocker, Object value) {
    return automation.invoke(TestServer.DISPID_LAST, IDispatch.DISPATCH_METHOD, blocker, value);
  }

  /** The Counters alive besides the target and the fixture's automation object. */
  private static long otherObjects() {
    return TestServer.liveObjects() - 2;
  }

  @Test
  void closingTheCallsOwnWrapperWaitsForTheCall() throws Exception {
    Blocker blocker = new Blocker();
    FutureTask<Object> call = start(() -> last(blocker, 5));
    blocker.awaitReached();

    automation.close();
    assertTrue(automation.isClosed());
    assertEquals(2, TestServer.liveObjects(), "the object the call uses is still alive");
    assertThrows(IllegalStateException.class, () -> automation.invoke("Echo", 1),
        "a call that starts after the close is refused");

    blocker.letGo();
    assertEquals(5, result(call));
    assertEquals(1, TestServer.liveObjects(), "released when the call returned");
  }

  /** How a row's call is given the blocker and the resource under test. */
  private interface Placement {
    Object call(ConcurrentCloseTest test, Blocker blocker, Object resource);
  }

  private static Arguments row(String what, Supplier<AutoCloseable> make, Placement placement) {
    return Arguments.of(what, make, placement);
  }

  static Stream<Arguments> closedArguments() {
    Supplier<AutoCloseable> counter = AutomationFixture::newCounter;
    Supplier<AutoCloseable> number = () -> new RefInt(42);
    Supplier<AutoCloseable> text = () -> new RefString("text");
    Placement direct = (test, blocker, resource) -> test.last(blocker, resource);
    Placement inArray = (test, blocker, resource) ->
        test.last(null, new Object[] {blocker, resource});
    Placement inNestedArray = (test, blocker, resource) ->
        test.last(null, new Object[] {new Object[] {blocker, resource}});
    return Stream.of(
        row("a wrapper", counter, direct),
        row("a wrapper inside an Object[]", counter, inArray),
        row("a RefInt", number, direct),
        row("a RefInt inside an Object[]", number, inArray),
        row("a RefString", text, direct),
        row("a RefString inside an Object[] inside an Object[]", text, inNestedArray));
  }

  @ParameterizedTest(name = "{0}")
  @MethodSource("closedArguments")
  void closingAnArgumentWaitsForTheCall(
      String what, Supplier<AutoCloseable> make, Placement placement) throws Exception {
    int bstrs = TestServer.liveBstrs();
    AutoCloseable resource = make.get();
    Object expected = resource instanceof IDispatch ? "Counter" : valueOf(resource);
    long objects = TestServer.liveObjects();
    int strings = TestServer.liveBstrs();
    Blocker blocker = new Blocker();
    FutureTask<Object> call = start(() -> placement.call(this, blocker, resource));
    blocker.awaitReached();

    resource.close();
    assertEquals(objects, TestServer.liveObjects(), "a closed wrapper's object lives on");
    assertEquals(strings, TestServer.liveBstrs(), "a closed string cell keeps its string");
    assertThrows(IllegalStateException.class, () -> automation.invoke("Echo", resource),
        "a call that starts after the close is refused");

    blocker.letGo();
    assertEquals(expected, copyIn(result(call)));
    assertEquals(0, otherObjects(), "released when the call returned");
    assertEquals(bstrs, TestServer.liveBstrs());
  }

  private static Object valueOf(AutoCloseable cell) {
    return cell instanceof RefInt ? (Object) ((RefInt) cell).get() : ((RefString) cell).get();
  }

  /** The copy of the resource in a call's result: its value, or the Kind of an object. */
  private static Object copyIn(Object result) {
    if (!(result instanceof IDispatch)) {
      return result;
    }
    try (IDispatch copy = (IDispatch) result) {
      return copy.get("Kind");
    }
  }

  @Test
  void theReleaseWaitsForTheLastCallInFlight() throws Exception {
    IDispatch counter = newCounter();
    Blocker first = new Blocker();
    Blocker second = new Blocker();
    FutureTask<Object> one = start(() -> last(first, counter));
    FutureTask<Object> two = start(() -> last(second, counter));
    first.awaitReached();
    second.awaitReached();

    counter.close();
    first.letGo();
    try (IUnknown copy = (IUnknown) result(one)) {
      assertInstanceOf(IDispatch.class, copy);
    }
    assertEquals(1, otherObjects(), "the second call still uses the Counter");

    second.letGo();
    ((IUnknown) result(two)).close();
    assertEquals(0, otherObjects(), "the last call out released it");
  }

  @Test
  void closeLaterDuringACallQueuesTheReferenceWhenTheCallReturns() throws Exception {
    IDispatch counter = newCounter();
    long object = counter.getPtr();
    Blocker blocker = new Blocker();
    CountDownLatch returned = new CountDownLatch(1);
    CountDownLatch checked = new CountDownLatch(1);
    // The calling thread stays in its apartment until the test has looked: leaving the apartment
    // would empty the release queue.
    FutureTask<Object> call = start(() -> {
      Object copy = last(blocker, counter);
      returned.countDown();
      checked.await();
      return copy;
    });
    blocker.awaitReached();

    counter.closeLater();
    blocker.letGo();
    try {
      assertTrue(returned.await(WAIT_SECONDS, TimeUnit.SECONDS));
      assertEquals(2, TestServer.refCount(object), "the call's copy and the queued reference");
      automation.queryInterface(IUnknown.IID).close(); // a call that empties the queue
      assertEquals(1, TestServer.refCount(object), "only the call's copy is left");
    } finally {
      checked.countDown();
    }
    ((IUnknown) result(call)).close();
    assertEquals(0, otherObjects());
  }

  @Test
  void aWrapperInUseCannotBeHandedOver() throws Exception {
    IDispatch counter = newCounter();
    Blocker blocker = new Blocker();
    FutureTask<Object> call = start(() -> last(blocker, counter));
    blocker.awaitReached();

    IllegalStateException e = assertThrows(IllegalStateException.class, counter::detach);
    assertEquals(
        "The native resource is in use by a call in progress and cannot be handed over",
        e.getMessage());

    blocker.letGo();
    ((IUnknown) result(call)).close();
    counter.close();
    assertEquals(0, otherObjects());
  }

  @Test
  void closingCellsAndWrappersDuringManyCallsNeverLosesAResult() throws Exception {
    // No fixed order here: each round races the closes against calls on three threads, one per
    // resource. Every call either gets the value whole or is refused for a closed argument.
    for (int round = 0; round < 100; ++round) {
      AutoCloseable[] resources = {
        new RefString("round " + round), new RefInt(round), newCounter()
      };
      Object[] expected = {"round " + round, round, "Counter"};
      CountDownLatch go = new CountDownLatch(1);
      List<FutureTask<Object>> calls = new ArrayList<>();
      for (AutoCloseable resource : resources) {
        calls.add(start(() -> {
          go.await();
          try {
            return copyIn(last(null, new Object[] {"first", new Object[] {resource}}));
          } catch (IllegalStateException refused) {
            return "refused";
          }
        }));
      }
      go.countDown();
      for (AutoCloseable resource : resources) {
        resource.close();
      }
      for (int i = 0; i < calls.size(); ++i) {
        Object outcome = result(calls.get(i));
        if (!outcome.equals("refused") && !outcome.equals(expected[i])) {
          fail("round " + round + " gave " + outcome + " for " + expected[i]);
        }
      }
      assertEquals(0, otherObjects(), "round " + round);
    }
  }

  @Test
  void twoCallsGivenTheSameStringCellRunOneAfterTheOther() throws Exception {
    try (RefString text = new RefString("before")) {
      Blocker blocker = new Blocker();
      FutureTask<Object> reading = start(() -> last(blocker, text));
      blocker.awaitReached();
      // The writer must wait for the reading call, which holds the cell.
      FutureTask<Object> writing = start(() -> automation.invoke("SetRef", text, "after"));
      Thread writer = threads.get(threads.size() - 1);
      while (writer.getState() != Thread.State.WAITING && !writing.isDone()) {
        Thread.yield();
      }

      blocker.letGo();
      assertEquals("before", result(reading), "the string was not replaced under the call");
      assertEquals(null, result(writing));
      assertEquals("after", text.get());
    }
  }
}
