package com.qel.vandrel.com.win32;

/**
 * Receives the events of a COM event source, usually written as a lambda and given to {@link
 * Handler#listening(EventListener)}.
 *
 * <p>Called on the thread that the source fires on (see {@link Handler}).
 */
@FunctionalInterface
public interface EventListener {
  /**
   * Handles one event.
   *
   * @param dispId the DISPID of the event
   * @param args the event's arguments in the caller's order (the first at index 0), converted
   *     as call results are; an empty array when there are none. Interface arguments arrive as
   *     wrappers that own a reference of their own: close them when done.
   * @return the event's result for a source that asks for one, or null
   */
  Object onEvent(int dispId, Object[] args);
}
