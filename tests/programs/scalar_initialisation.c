/* A statement outside every loop shares a scalar with a loop statement. */
int N = 10;
double a[10], s;
int main(void)
{
  int i;
#pragma resource [2][4]
#pragma latency [1][1]
  s = 0;
  for (i = 0; i < N; i++) {
#pragma latency [1][1]
    a[i] = s;
  }
  return 0;
}
